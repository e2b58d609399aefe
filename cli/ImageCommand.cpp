// o8rprog image: a file loaded under a part's memory map, shown as the page
// records the box would be sent, with what programming it would do to the part.

#include <algorithm>
#include <cstdio>
#include <iostream>
#include <memory>
#include <vector>

#include "cli/CatalogueAccess.h"
#include "cli/Commands.h"
#include "cli/ExitStatus.h"
#include "cli/ProgressBar.h"
#include "cli/RunRecord.h"
#include "cli/Terminal.h"
#include "cli/TerminalPrompts.h"
#include "core/catalogue/Catalogue.h"
#include "core/image/ImageBuilder.h"
#include "core/image/ImageFile.h"
#include "core/image/LoadedFile.h"
#include "core/image/SerialNumber.h"
#include "core/model/Messages.h"
#include "core/operations/FileLoadJob.h"
#include "core/protocol/Clock.h"

namespace o8r::cli {

namespace {

// The erase dialog's names (as --blocks takes them) of the blocks the page
// records fall in, in address order.
std::string TouchedBlocks(const std::vector<std::string>& lines, const std::string& part,
                          const PageImage& image) {
    struct Block {
        std::string name;
        std::uint32_t start = 0;
        std::uint32_t end = 0;  // one past
    };
    std::vector<Block> blocks;
    for (const EraseBlockRow& row : EraseBlocksForPart(lines, part)) {
        const std::string size = row.size.substr(0, row.size.find_last_not_of(' ') + 1);
        const std::size_t digits = size.find_first_not_of(' ');
        if (digits == std::string::npos)
            continue;
        std::uint32_t bytes = 0;
        try {
            bytes = static_cast<std::uint32_t>(std::stoul(size.substr(digits)));
            if (size.back() == 'K')
                bytes *= 1024;
            const std::uint32_t start =
                static_cast<std::uint32_t>(std::stoul(row.address, nullptr, 16));
            blocks.push_back({row.block.substr(row.block.find(' ') + 1), start, start + bytes});
        } catch (const std::exception&) {
            continue;  // an entry the erase dialog would refuse in its turn
        }
    }
    std::sort(blocks.begin(), blocks.end(),
              [](const Block& a, const Block& b) { return a.start < b.start; });
    std::string names;
    for (const Block& block : blocks) {
        for (std::size_t i = 0; i < image.RecordCount(); ++i) {
            const std::uint32_t at = PageRecordNumber(image.pageRecords[i]) * kPageSize;
            if (at >= block.start && at < block.end) {
                names += (names.empty() ? "" : ",") + block.name;
                break;
            }
        }
    }
    return names.empty() ? "none" : names;
}

// Where --serial would put its number in this image, and whether it may.
std::string SerialLine(const SerialOptions& options, const MemoryMap& map, const PageImage& image) {
    std::string error;
    const auto placement = ParseSerialPlacement(options.at, error);
    if (!placement)
        throw UsageError("--serial: " + error);
    const std::uint32_t last =
        placement->address + static_cast<std::uint32_t>(placement->length) - 1;
    std::string line = "serial " + HexDigitsText(placement->address, 5) + "-" +
                       HexDigitsText(last, 5) + " (" + std::to_string(placement->length) +
                       " bytes, " + std::string(SerialFormatName(placement->format)) + "): ";
    if (const auto problem = SerialPlacementProblem(*placement, map))
        return line + "refused: " + *problem;
    const SerialPlace place = LocateSerial(image, *placement);
    if (place.firstDataByte && !options.overwrite)
        return line + "refused: over the image's data at " +
               HexDigitsText(*place.firstDataByte, 5) + " (--serial-overwrite allows it)";
    std::string pages;
    for (const std::uint32_t page : place.pagesAdded)
        pages += (pages.empty() ? "" : ", ") + HexDigitsText(page, 5);
    if (!pages.empty())
        return line + "page " + pages + " added, the rest of it FF";
    return line + (place.firstDataByte ? "over the image's data" : "in the image's pages");
}

}  // namespace

int RunImage(const GlobalOptions& global, const ImageOptions& options) {
    const auto lines = LoadCatalogue(global, std::cerr);
    if (!lines) {
        return kExitFailure;
    }
    const SelectedPart part = ResolvePart(*lines, options.mcu);

    RealClock clock;
    ProgressBar bar(std::cerr, StderrIsTerminal() && !global.quiet, [&] { return clock.Now(); });
    TerminalPrompts prompts(std::cout, std::cerr, std::cin, StdinIsTerminal(), global.yes, bar);

    // The size limit comes first, as when a file is chosen for an operation.
    const FileStatus status = ReadFileStatus(options.file);
    if (status.readable && status.size > kMaxImageFileSize) {
        prompts.ShowMessage(Message{text::kFileTooLarge, text::kCaptionError, MsgIcon::None,
                                    MsgButtons::Ok, Owner::MainWindow});
        return kExitFailure;
    }
    auto image = std::make_unique<PageImage>();
    FileLoadJob job(prompts, *image, options.file, part.map, global.base);
    if (prompts.RunFileLoadDialog(job) != DialogResult::Ok) {
        return kExitFailure;
    }
    NoteImagePages(*image);

    const std::size_t count = image->RecordCount();
    std::string out = std::string("format ") + ImageFormatName(image->format) + '\n';
    out += "pages " + std::to_string(count) + '\n';
    out.reserve(out.size() + count * 10u);
    for (std::size_t i = 0; i < count; ++i) {
        const PageRecord& record = image->pageRecords[i];
        char line[16];
        std::snprintf(line, sizeof line, "%04X %04X\n", PageRecordNumber(record),
                      PageRecordChecksum(record));
        out += line;
    }
    const RunRecord& record = CurrentRecord();
    out += "erase blocks " + TouchedBlocks(*lines, part.record.part, *image) + '\n';
    out += "crc32 " + (record.crc32.empty() ? "none" : record.crc32) + '\n';
    out += "sha256 " + (record.sha256.empty() ? "none" : record.sha256) + '\n';
    const auto id = ImageIdCode(*image);
    out +=
        "id code " + (id ? IdCodeText(*id) + " (programming it protects the part)" : "none") + '\n';
    if (!options.serial.at.empty())
        out += SerialLine(options.serial, part.map, *image) + '\n';
    std::cout << out << std::flush;
    return kExitOk;
}

}  // namespace o8r::cli
