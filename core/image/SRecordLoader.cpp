#include "core/image/SRecordLoader.h"

#include <string>

#include "core/image/LineReader.h"
#include "core/image/SRecordLine.h"
#include "core/model/Messages.h"

namespace o8r {

namespace {

ImageLoadResult RefuseLine(std::size_t lineNumber, const std::string& reason) {
    return RefuseLoadAt(text::kErrorFormat, "Line " + std::to_string(lineNumber), reason);
}

}  // namespace

SRecordLoadResult LoadSRecordImage(PageImage& image, std::istream& in, std::uint64_t fileSize,
                                   const MemoryMap& map, const std::function<void(int)>& progress) {
    ImageBuilder builder(image, map, fileSize, progress);
    LineReader reader(in);
    SRecord record;
    std::string_view line;

    // The first line must be the S0 header; an empty file has one empty line.
    LineReader::Status status = reader.Next(line);
    if (status == LineReader::Status::ReadError)
        return RefuseLoad(kCanNotReadFile);
    if (status == LineReader::Status::End)
        line = {};
    if (line.substr(0, 2) != "S0")
        return RefuseLine(1, "no S0 header");
    if (status == LineReader::Status::TooLong)
        return RefuseLine(1, "line too long");
    if (const RecordFault fault = ParseSRecordLine(line, record); fault != RecordFault::None) {
        return RefuseLine(1, RecordFaultReason(fault));
    }

    std::size_t lineNumber = 1;
    std::size_t endLine = 0;  // the S7, S8 or S9 record
    for (;;) {
        status = reader.Next(line);
        ++lineNumber;
        if (status == LineReader::Status::End)
            break;
        if (status == LineReader::Status::ReadError)
            return RefuseLoad(kCanNotReadFile);
        if (endLine != 0) {
            // Records after the end are a second image (two files joined):
            // refused, or its data would silently never be sent. Anything
            // else there (a note, a DOS end-of-file mark) stays ignored.
            if (line.size() >= 2 && line[0] == 'S' && line[1] >= '0' && line[1] <= '9')
                return RefuseLine(
                    lineNumber, "a record after the end record of line " + std::to_string(endLine));
            continue;
        }
        if (status == LineReader::Status::TooLong)
            return RefuseLine(lineNumber, "line too long");
        if (line.empty())
            continue;

        if (const RecordFault fault = ParseSRecordLine(line, record); fault != RecordFault::None) {
            return RefuseLine(lineNumber, RecordFaultReason(fault));
        }
        if (record.type == '7' || record.type == '8' || record.type == '9') {
            endLine = lineNumber;
            continue;
        }
        if (record.type != '1' && record.type != '2' && record.type != '3')
            continue;
        if (record.length == 0)
            continue;

        if (ImageLoadResult refusal;
            !builder.Place(record.address, record.data.data(), record.length,
                           "Line " + std::to_string(lineNumber), refusal)) {
            return refusal;
        }
    }

    return builder.Finish();
}

}  // namespace o8r
