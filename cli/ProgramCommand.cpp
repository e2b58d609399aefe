// o8rprog program: the image programmed page by page, and on request every
// programmed page read back and compared.

#include "cli/CommandSession.h"
#include "cli/Commands.h"
#include "cli/ExitStatus.h"
#include "cli/PartCommand.h"
#include "cli/ProgramPath.h"
#include "cli/SerialChoice.h"
#include "core/image/ImageFile.h"
#include "core/model/Messages.h"

namespace o8r::cli {

int RunProgram(const GlobalOptions& global, const ProgramOptions& options) {
    const auto serial = ChooseSerial(options.serial);
    PartChecks checks;
    // Where the number goes is judged before a number is taken.
    checks.options = [&](const std::vector<std::string>&, const SelectedPart& part) {
        if (serial)
            CheckSerialPlace(*serial, part.map, FullPath(options.file), global.base);
    };
    return RunOnPart(global, options.mcu, checks, [&](CommandSession& box) {
        if (serial) {
            box.Box().SetSerial(TakeBoardSerial(*serial, global.serialIndex));
        }
        if (!box.Report(box.Box().Program(FullPath(options.file), box.Hooks()))) {
            return kExitFailure;
        }
        // The code is in the part now: without it, every later command is refused.
        if (const auto id = ImageIdCode(box.Box().Image())) {
            box.Prompts().ShowMessage(Message{
                "The part is now protected by the ID code " + IdCodeText(*id) +
                    " the image carries: give it with --id " + IdCodeText(*id) + " from now on.",
                text::kCaptionInfo, MsgIcon::None, MsgButtons::Ok, Owner::MainWindow});
        }
        if (!options.verify) {
            return kExitOk;
        }
        return box.Report(box.Box().Verify(box.Hooks())) ? kExitOk : kExitFailure;
    });
}

}  // namespace o8r::cli
