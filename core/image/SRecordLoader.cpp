#include "core/image/SRecordLoader.h"

#include <string>

#include "core/image/LineReader.h"
#include "core/image/SRecordLine.h"
#include "core/model/Messages.h"

namespace o8r {

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
        return RefuseLoadLine(1, "no S0 header");
    if (status == LineReader::Status::TooLong)
        return RefuseLoadLine(1, "line too long");
    if (const RecordFault fault = ParseSRecordLine(line, record); fault != RecordFault::None) {
        return RefuseLoadLine(1, RecordFaultReason(fault));
    }

    RecordLines lines(reader, 1, [](std::string_view text) {
        return text.size() >= 2 && text[0] == 'S' && text[1] >= '0' && text[1] <= '9';
    });
    ImageLoadResult stop;
    while (lines.Read(line, stop)) {
        ImageLoadResult refusal;
        if (const RecordFault fault = ParseSRecordLine(line, record); fault != RecordFault::None) {
            return RefuseLoadLine(lines.LineNumber(), RecordFaultReason(fault));
        }
        if (record.type == '7' || record.type == '8' || record.type == '9') {
            lines.EndRecordRead();
            continue;
        }
        if (record.type != '1' && record.type != '2' && record.type != '3')
            continue;
        if (record.length == 0)
            continue;

        if (!builder.Place(record.address, record.data.data(), record.length, lines.Where(),
                           refusal)) {
            return refusal;
        }
    }

    return stop.ok ? builder.Finish() : stop;
}

}  // namespace o8r
