// o8rprog blank-check and read: the Blank Check and Read buttons with the
// Address Setting dialog filled from --range START-END.

#include <algorithm>
#include <cctype>
#include <functional>
#include <iostream>

#include "app/Messages.h"
#include "cli/BoxSession.h"
#include "cli/Commands.h"
#include "cli/ExitStatus.h"
#include "cli/PartCommand.h"
#include "cli/ReadWindow.h"
#include "operations/AddressRangeRules.h"
#include "operations/AddressSettingDialog.h"

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
        if (text->size() > AddressSettingDialog::kFieldLength) {
            throw UsageError("--range: an address has at most 5 hexadecimal digits");
        }
        std::transform(text->begin(), text->end(), text->begin(),
                       [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    }
    return texts;
}

// A range the dialog would refuse is refused before the box is touched, with
// the dialog's own message. An exchange question is left to the real run.
bool RangeAcceptable(const RangeTexts& texts, BoxSession& box) {
    const RangeCheck check = CheckAddressRange(texts.start, texts.end, CurrentMemoryMap());
    if (check.outcome == RangeOutcome::Accepted || check.outcome == RangeOutcome::AskExchange) {
        return true;
    }
    AddressSettingDialog dialog(box.Prompts());
    RangeTexts copy = texts;
    dialog.PressOk(copy.start, copy.end);
    return false;
}

void ScriptAddressDialog(BoxSession& box, const RangeTexts& texts) {
    box.Prompts().addressDialog = [texts](AddressSettingDialog& dialog) {
        RangeTexts fields = texts;
        // A refused range would leave the dialog open for another try; here it closes.
        return dialog.PressOk(fields.start, fields.end) ? IDOK : IDCANCEL;
    };
}

// Both commands: the range judged before the box is touched, then the address
// dialog scripted to take it.
int RunOnRange(const GlobalOptions& global, const RangeOptions& options,
               const std::function<int(BoxSession& box)>& command) {
    RangeTexts texts;
    PartChecks checks;
    checks.options = [&](const std::vector<std::string>&, const SelectedPart&) {
        texts = SplitRange(options.range);
    };
    checks.beforeAttach = [&](BoxSession& box) { return RangeAcceptable(texts, box); };
    return RunOnPart(global, options.mcu, checks, [&](BoxSession& box) {
        ScriptAddressDialog(box, texts);
        return command(box);
    });
}

bool StartsWith(const std::string& text, const std::string& prefix) {
    return text.rfind(prefix, 0) == 0;
}

}  // namespace

int RunBlankCheck(const GlobalOptions& global, const RangeOptions& options) {
    return RunOnRange(global, options, [&](BoxSession& box) {
        box.RunButton("Blank Check", [&] { box.Controller().OnBlankCheck(); });
        const TerminalPrompts& prompts = box.Prompts();
        if (prompts.WasShown(text::kCheckAreaEmpty)) {
            return kExitOk;
        }
        for (const Message& message : prompts.Shown()) {
            if (StartsWith(message.text, text::kCheckAreaNotEmpty)) {
                return kExitNotBlank;
            }
        }
        return kExitFailure;
    });
}

int RunRead(const GlobalOptions& global, const RangeOptions& options) {
    return RunOnRange(global, options, [&](BoxSession& box) {
        ReadActions actions;
        actions.dump = options.dump;
        actions.save = !options.output.empty();
        if (actions.save) {
            box.Prompts().saveFile = options.output;
        }
        ReadWindow window(
            box.Timers(), box.GetClock(), box.Bar(), box.Prompts(),
            [&](int id) { box.Dispatch(id); }, std::cout);
        box.Prompts().readWindow = [&](ReadSession& session) {
            return window.Run(session, actions);
        };
        box.Controller().OnRead();

        if (!window.Completed()) {
            return kExitFailure;
        }
        if (actions.save && !box.Prompts().WasShown(text::kReadDataSaved)) {
            return kExitFailure;
        }
        return kExitOk;
    });
}

}  // namespace o8r::cli
