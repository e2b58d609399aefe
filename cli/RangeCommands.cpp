// o8rprog blank-check and read: the Blank Check and Read buttons with the
// Address Setting dialog filled from --range START-END.

#include <algorithm>
#include <cctype>
#include <functional>
#include <iostream>
#include <optional>

#include "cli/CommandSession.h"
#include "cli/Commands.h"
#include "cli/ExitStatus.h"
#include "cli/HexDump.h"
#include "cli/PartCommand.h"
#include "cli/ProgramPath.h"
#include "core/model/Messages.h"
#include "core/operations/AddressRangeEntry.h"
#include "core/operations/AddressRangeRules.h"
#include "core/operations/RangePages.h"
#include "core/operations/ReadSession.h"

namespace o8r::cli {

namespace {

struct RangeTexts {
    std::string start;
    std::string end;
};

// START-END as the two fields of the dialog would hold them: at most five
// characters each, shown in upper case. The texts themselves are judged by the
// dialog's own rules.
RangeTexts SplitRange(const std::string& range) {
    const auto dash = range.find('-');
    if (dash == std::string::npos || range.find('-', dash + 1) != std::string::npos) {
        throw UsageError("--range: expected START-END in hexadecimal, such as C000-C3FF");
    }
    RangeTexts texts{range.substr(0, dash), range.substr(dash + 1)};
    for (std::string* text : {&texts.start, &texts.end}) {
        if (text->size() > AddressRangeEntry::kFieldLength) {
            throw UsageError("--range: an address has at most 5 hexadecimal digits");
        }
        std::transform(text->begin(), text->end(), text->begin(),
                       [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    }
    return texts;
}

// The range as the address dialog takes it, before the box is touched: a range
// it refuses is refused with the dialog's own message, and the exchange
// question is asked here.
std::optional<AddressRange> RangeAccepted(const RangeTexts& texts, const char* prompt,
                                          CommandSession& box) {
    AddressRangeEntry dialog(box.Prompts(), box.Box().Target().map, prompt);
    RangeTexts fields = texts;
    if (!dialog.PressOk(fields.start, fields.end))
        return std::nullopt;
    return AddressRange{dialog.Start(), dialog.End()};
}

// Both commands: the range judged before the box is touched.
int RunOnRange(const GlobalOptions& global, const RangeOptions& options, const char* prompt,
               const std::function<int(CommandSession& box, const AddressRange& range)>& command) {
    std::optional<AddressRange> range;
    RangeTexts texts;
    PartChecks checks;
    checks.options = [&](const std::vector<std::string>&, const SelectedPart&) {
        texts = SplitRange(options.range);
    };
    checks.beforeAttach = [&](CommandSession& box) {
        range = RangeAccepted(texts, prompt, box);
        return range.has_value();
    };
    return RunOnPart(global, options.mcu, checks,
                     [&](CommandSession& box) { return command(box, *range); });
}

}  // namespace

int RunBlankCheck(const GlobalOptions& global, const RangeOptions& options) {
    return RunOnRange(global, options, text::kPromptCheckRange,
                      [&](CommandSession& box, const AddressRange& range) {
                          const OperationResult result =
                              box.Box().BlankCheck(range.start, range.end, box.Hooks());
                          box.Report(result);
                          if (result.outcome == Outcome::CheckAreaNotEmpty) {
                              return kExitNotBlank;
                          }
                          return result.Succeeded() ? kExitOk : kExitFailure;
                      });
}

int RunRead(const GlobalOptions& global, const RangeOptions& options) {
    return RunOnRange(
        global, options, text::kPromptReadRange,
        [&](CommandSession& box, const AddressRange& range) {
            // The read's own ending is shown as it ends; then what is done with
            // the data; then a box that did not come back from its reset.
            const OperationResult result = box.Box().Read(range.start, range.end, box.Hooks());
            int status = result.Succeeded() ? kExitOk : kExitFailure;
            if (result.Succeeded()) {
                if (options.dump) {
                    std::cout << FormatDump(FormatReadRows(result.rangeStart, result.data))
                              << std::flush;
                }
                if (!options.output.empty()) {
                    if (SaveReadData(box.Prompts(), FullPath(options.output), result.rangeStart,
                                     result.data,
                                     ImageFormatFromName(options.format)) == SaveResult::Saved) {
                        box.Prompts().ShowMessage(Message{text::kReadDataSaved, text::kCaptionInfo,
                                                          MsgIcon::None, MsgButtons::Ok,
                                                          Owner::ReadData});
                    } else {
                        status = kExitFailure;
                    }
                }
            }
            box.Report(result);
            return status;
        });
}

}  // namespace o8r::cli
