// o8rprog load and query: the Load button, and its first half alone (which
// image does the box store?).

#include <iostream>

#include "app/Messages.h"
#include "cli/BoxSession.h"
#include "cli/Commands.h"
#include "cli/ExitStatus.h"
#include "cli/PartCommand.h"

namespace o8r::cli {

namespace {

bool StartsWith(const std::string& text, const std::string& prefix) {
    return text.rfind(prefix, 0) == 0;
}

bool EndsWith(const std::string& text, const std::string& suffix) {
    return text.size() >= suffix.size() &&
           text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

}  // namespace

int RunLoad(const GlobalOptions& global, const FileOptions& options) {
    return RunOnPart(global, options.mcu, {}, [&](BoxSession& box) {
        box.Prompts().openFile = options.file;
        box.RunButton("Load", [&] { box.Controller().OnLoadButton(); });
        return box.Prompts().WasShown(text::kLoadCompleted) ? kExitOk : kExitFailure;
    });
}

int RunQuery(const GlobalOptions& global) {
    BoxSession box(global, nullptr);
    if (!box.Attach(BoxMode::Normal)) {
        return kExitFailure;
    }
    // The Load button asks the box for its stored image before anything else.
    // It will not start without a part chosen, though nothing of the part is
    // sent before the file choice, where the query ends.
    g_selectedMcu = "query";

    const std::string prefix = text::kStoredFilePrefix;
    const std::string suffix = text::kStoredFileSuffix;
    std::optional<std::string> stored;
    TerminalPrompts& prompts = box.Prompts();
    prompts.interceptQuestion = [&](const Message& message) -> std::optional<MsgAnswer> {
        if (!StartsWith(message.text, prefix) || !EndsWith(message.text, suffix)) {
            return std::nullopt;
        }
        stored =
            message.text.substr(prefix.size(), message.text.size() - prefix.size() - suffix.size());
        return MsgAnswer::No;
    };
    box.Controller().OnLoadButton();

    if (stored) {
        std::cout << *stored << '\n';
        return kExitOk;
    }
    if (prompts.OpenFileRequests() > 0) {
        std::cout << "(empty)\n";
        return kExitOk;
    }
    return kExitFailure;
}

}  // namespace o8r::cli
