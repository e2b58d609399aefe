#pragma once

// The operator view's logic, without widgets: one tile per box of the job,
// each box on its own engine session. Start begins a board on every box that
// is there and idle; the window's 1 ms timer steps every running box once per
// tick, so the boxes work at once on the window's thread; each board ends in
// PASS or the failure's text, the counters and the job's log. The view reads
// the state after each call and shows it.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/window/OperatorJob.h"

namespace o8r {

class OperatorController {
  public:
    enum class TileState { Idle, Running, Passed, Failed };
    struct Tile {
        std::string box;  // as the job names it ("" for the only box)
        bool attached = false;
        TileState state = TileState::Idle;
        int percent = 0;
        std::string activity;  // the step at work
        std::string banner;    // "PASS", the failure's text, or empty
        std::optional<std::uint64_t> serial;
    };

    // One runner per box, in the order of the job's boxes.
    OperatorController(OperatorJob& job, std::vector<std::unique_ptr<BoardRunner>> runners);
    // Closes the job's run in its log, once a board has run.
    ~OperatorController();
    OperatorController(const OperatorController&) = delete;
    OperatorController& operator=(const OperatorController&) = delete;

    // Start (the button, Space, Enter, F5): a board on every box that is
    // attached and not at work. The number of boards begun; with none, Notice() says why.
    int Start();
    // One step of every running board (TIMER_OPERATION).
    void Tick();
    // The programmer poll (TIMER_DEVICE_POLL): which boxes are there. A box
    // plugged in starts a board by itself only when the job says so.
    void Poll();

    [[nodiscard]] bool Running() const;
    [[nodiscard]] const std::vector<Tile>& Tiles() const { return m_tiles; }
    [[nodiscard]] int Passed() const { return m_passed; }
    [[nodiscard]] int Failed() const { return m_failed; }
    [[nodiscard]] const std::vector<std::string>& LogTail() const { return m_logTail; }
    [[nodiscard]] const std::string& Notice() const { return m_notice; }
    [[nodiscard]] const OperatorJobFacts& Facts() const { return m_job.Facts(); }
    [[nodiscard]] std::optional<std::uint64_t> NextSerial() const { return m_job.NextSerial(); }

    // The log records shown.
    static constexpr std::size_t kLogLines = 20;

  private:
    bool StartTile(std::size_t index);
    void Finish(std::size_t index, BoardOutcome outcome);

    OperatorJob& m_job;
    std::vector<std::unique_ptr<BoardRunner>> m_runners;
    std::vector<Tile> m_tiles;
    int m_passed = 0;
    int m_failed = 0;
    std::vector<std::string> m_logTail;
    std::string m_notice;
};

}  // namespace o8r
