// o8rprog image: a file loaded under a part's memory map, shown as the page
// records the box would be sent.

#include <cstdio>
#include <iostream>
#include <memory>

#include "cli/CatalogueAccess.h"
#include "cli/Commands.h"
#include "cli/ExitStatus.h"
#include "cli/ProgressBar.h"
#include "cli/RunRecord.h"
#include "cli/Terminal.h"
#include "cli/TerminalPrompts.h"
#include "core/image/LoadedFile.h"
#include "core/model/Messages.h"
#include "core/operations/FileLoadJob.h"
#include "core/protocol/Clock.h"

namespace o8r::cli {

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
    FileLoadJob job(prompts, *image, options.file, part.map);
    if (prompts.RunFileLoadDialog(job) != DialogResult::Ok) {
        return kExitFailure;
    }
    NoteImagePages(*image);

    const std::size_t count = image->RecordCount();
    std::string out = "pages " + std::to_string(count) + '\n';
    out.reserve(out.size() + count * 10u);
    for (std::size_t i = 0; i < count; ++i) {
        const PageRecord& record = image->pageRecords[i];
        char line[16];
        std::snprintf(line, sizeof line, "%04X %04X\n", PageRecordNumber(record),
                      PageRecordChecksum(record));
        out += line;
    }
    std::cout << out << std::flush;
    return kExitOk;
}

}  // namespace o8r::cli
