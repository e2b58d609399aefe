#pragma once

// One box as the Python module drives it: the clock, the bridge (real or
// simulated), the operations API over them, and what Python hands in and
// gets back. Every operation attaches to the box afresh, runs to the end
// with the interpreter's lock let go, and comes back as a plain dict that the
// module's Python part turns into a result or an exception.
//
// While an operation runs, the thread that called it takes the lock back
// for the progress callback and, at least every 20 ms, to let Python see
// its signals: a Ctrl-C becomes a cancel request, the box is reset, and the
// KeyboardInterrupt is raised once the operation has ended.

#include <pybind11/pybind11.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "bridges/BridgeFactory.h"
#include "core/model/Message.h"
#include "core/operations/BoxSession.h"

namespace o8r::python {

namespace py = pybind11;

// What a Box is made with, as the command line's global options name it.
// A board's serial number as Python gives it: the value, where it goes
// ("ADDR:LEN[:FORMAT]"), and whether it may go over the image's data.
struct SerialRequest {
    std::uint64_t value = 0;
    std::string at;
    bool overwrite = false;
};

struct BoxSettings {
    std::string box = "auto";  // auto | sim | serial:PORT
    std::string simState;
    std::string simProtect;
    std::string simTiming;
    std::string simSerial;
    std::vector<std::string> simFaults;
    bool simUpdateMode = false;
    bool simRealtime = false;
    std::string catalogue;  // the catalogue file
};

class PySession final : public OperationListener, public OperationQuestions {
  public:
    // Throws std::invalid_argument for a box choice that cannot be made.
    explicit PySession(BoxSettings settings);
    ~PySession() override;
    PySession(const PySession&) = delete;
    PySession& operator=(const PySession&) = delete;

    py::dict Detect();
    py::dict Program(const std::string& part, const std::string& image, bool verify,
                     const std::optional<std::string>& id,
                     const std::optional<SerialRequest>& serial, py::object progress);
    // `blocks`: names as the erase dialog shows them ("0", "A"); nothing: every block.
    py::dict Erase(const std::string& part, const std::optional<std::vector<std::string>>& blocks,
                   const std::optional<std::string>& id, py::object progress);
    py::dict BlankCheck(const std::string& part, std::uint32_t start, std::uint32_t end,
                        const std::optional<std::string>& id, py::object progress);
    py::dict Read(const std::string& part, std::uint32_t start, std::uint32_t end,
                  const std::optional<std::string>& id, py::object progress);
    py::dict Load(const std::string& part, const std::string& image, bool replace,
                  py::object progress);
    py::dict Query();
    py::dict Update(const std::string& image, py::object progress);
    // From any thread: the running operation stops as its Cancel button would.
    void Cancel() { m_cancel.Request(); }
    // Holds the box in reset, closes it and lets the bridge go (a simulated
    // box's state is written back).
    void Release();
    [[nodiscard]] std::string Port() const { return m_port; }
    [[nodiscard]] std::string UsbSerial() const { return m_usbSerial; }

    // OperationListener, OperationQuestions: called without the interpreter's lock.
    void PhaseStarted(Phase phase) override;
    void Progress(int percent) override;
    void CannotCancel(Phase phase) override;
    bool ReplaceStoredImage(const std::string& name) override;
    bool ConfirmCancel(Operation) override { return true; }

    // Lets Python look at its signals, at most every 20 ms; called without the lock.
    void LookAtSignals();

  private:
    struct Run;
    // Runs `operation` on the box for `part` (empty: none) with the lock let
    // go, and gives its record; raises a Python exception that came up on the way.
    py::dict Perform(const char* command, const std::string& part,
                     const std::optional<std::string>& id, Outcome wantedMode, py::object progress,
                     const std::function<OperationResult(Run&)>& operation);
    // The bridge for the first operation, with a new simulated target's
    // blocks taken from its part.
    [[nodiscard]] bool MakeBox(Run& run);
    // With the lock held: what came up from Python stops the operation.
    void TakePythonError();

    BoxSettings m_settings;
    BoxChoice m_choice;
    std::unique_ptr<Clock> m_clock;
    std::unique_ptr<Bridge> m_box;
    std::unique_ptr<Bridge> m_watch;  // m_box, with a look at the signals on every call
    std::unique_ptr<BoxSession> m_session;
    CancelToken m_cancel;
    std::mutex m_busy;  // one operation at a time on this box
    std::string m_port;
    std::string m_usbSerial;

    // The running operation.
    Run* m_run = nullptr;
    py::object m_progress;
    std::optional<py::error_already_set> m_pythonError;
    std::chrono::steady_clock::time_point m_lastLook{};
    std::string m_phase;
    int m_percent = -1;
    bool m_replace = false;
};

}  // namespace o8r::python
