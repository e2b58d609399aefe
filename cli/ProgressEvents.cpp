#include "cli/ProgressEvents.h"

#include <cstdio>
#include <nlohmann/json.hpp>

namespace o8r::cli {

namespace {

using Event = nlohmann::ordered_json;

bool g_eventsOn = false;

Event Begin(const char* kind) {
    Event event;
    event["version"] = kEventsVersion;
    event["event"] = kind;
    return event;
}

// One line, written at once: a reader never sees half an event. Bytes that
// are not UTF-8 become U+FFFD, as in the --json record.
void Write(const Event& event) {
    if (!g_eventsOn)
        return;
    const std::string line = event.dump(-1, ' ', false, Event::error_handler_t::replace) + '\n';
    std::fputs(line.c_str(), stderr);
    std::fflush(stderr);
}

const char* Level(MsgIcon icon) {
    switch (icon) {
        case MsgIcon::Error:
            return "error";
        case MsgIcon::Exclamation:
            return "warning";
        default:
            return "info";
    }
}

}  // namespace

void SetEventsOn(bool on) {
    g_eventsOn = on;
}

bool EventsOn() {
    return g_eventsOn;
}

void StartEvent(const std::string& command, const std::string& part, const std::string& file,
                const std::string& port, const std::string& usbSerial) {
    Event event = Begin("start");
    event["command"] = command;
    event["part"] = part;
    event["file"] = file;
    event["box"] = {{"port", port}, {"usbSerial", usbSerial}};
    Write(event);
}

void PhaseEvent(Phase phase, bool started) {
    Event event = Begin(started ? "phase-start" : "phase-end");
    event["phase"] = PhaseName(phase);
    Write(event);
}

void ProgressEvent(Phase phase, int percent) {
    Event event = Begin("progress");
    event["phase"] = PhaseName(phase);
    event["percent"] = percent;
    Write(event);
}

void MessageEvent(const Message& message, std::string_view answer) {
    const bool question = message.buttons == MsgButtons::YesNo;
    Event event = Begin(question ? "question" : "message");
    if (!question)
        event["level"] = Level(message.icon);
    event["caption"] = message.caption;
    event["text"] = message.text;
    if (question)
        event["answer"] = answer;
    Write(event);
}

void CancelEvent(Phase phase, bool cancelled, std::string_view text) {
    Event event = Begin("cancel");
    event["phase"] = PhaseName(phase);
    event["cancelled"] = cancelled;
    event["text"] = text;
    Write(event);
}

void EndEvent(int exitStatus, const std::string& recordJson) {
    Event event = Begin("end");
    event["exitStatus"] = exitStatus;
    event["record"] = Event::parse(recordJson, nullptr, false);
    Write(event);
}

}  // namespace o8r::cli
