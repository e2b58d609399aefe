#pragma once

// --progress=json: the run told as events, one JSON object per line on
// standard error, for programs that wrap o8rprog. Every object carries
// "version" (kEventsVersion) and "event"; cli/README.md lists the events and
// their fields, a stable interface.

#include <string>
#include <string_view>

#include "core/model/Message.h"
#include "core/operations/BoxSession.h"

namespace o8r::cli {

inline constexpr int kEventsVersion = 1;

// Whether the events are written; set once as the run begins.
void SetEventsOn(bool on);
[[nodiscard]] bool EventsOn();

void StartEvent(const std::string& command, const std::string& part, const std::string& file,
                const std::string& port, const std::string& usbSerial);
void PhaseEvent(Phase phase, bool started);
void ProgressEvent(Phase phase, int percent);
// A message box: a question with the answer it got ("yes", "no"), or a
// message shown (answer empty).
void MessageEvent(const Message& message, std::string_view answer);
// A Ctrl-C: the operation stops, carries on as answered, or cannot stop in `phase`.
void CancelEvent(Phase phase, bool cancelled, std::string_view text);
// The run's end: the exit status and the record, as --json prints it.
void EndEvent(int exitStatus, const std::string& recordJson);

}  // namespace o8r::cli
