#include "core/window/OperatorController.h"

namespace o8r {

namespace {
constexpr char kPass[] = "PASS";
constexpr char kNoBox[] = "No programmer found. Plug in the programmer, then press Start.";
constexpr char kAllBusy[] = "Every programmer is at work.";
}  // namespace

OperatorController::OperatorController(OperatorJob& job,
                                       std::vector<std::unique_ptr<BoardRunner>> runners)
    : m_job(job), m_runners(std::move(runners)) {
    const std::vector<std::string>& boxes = m_job.Facts().boxes;
    for (std::size_t i = 0; i < m_runners.size(); ++i) {
        Tile tile;
        tile.box = i < boxes.size() ? boxes[i] : std::string();
        tile.attached = m_runners[i]->Attached();
        m_tiles.push_back(tile);
    }
    m_logTail = m_job.LastRecords(kLogLines);
}

OperatorController::~OperatorController() {
    if (m_passed + m_failed > 0)
        m_job.CloseRun(m_passed, m_failed);
}

int OperatorController::Start() {
    m_notice.clear();
    int begun = 0;
    bool anyAttached = false;
    for (std::size_t i = 0; i < m_tiles.size(); ++i) {
        m_tiles[i].attached = m_runners[i]->Attached();
        anyAttached = anyAttached || m_tiles[i].attached;
        if (m_tiles[i].attached && m_tiles[i].state != TileState::Running && StartTile(i))
            ++begun;
    }
    if (begun == 0)
        m_notice = anyAttached ? kAllBusy : kNoBox;
    return begun;
}

bool OperatorController::StartTile(std::size_t index) {
    Tile& tile = m_tiles[index];
    std::optional<std::uint64_t> serial;
    if (m_job.UsesSerials()) {
        std::string error;
        serial = m_job.TakeSerial(error);
        if (!serial) {
            // Nothing is written to a board without its serial number.
            tile.serial.reset();
            tile.percent = 0;
            tile.state = TileState::Failed;
            tile.banner = "No serial number: " + error;
            ++m_failed;
            return false;
        }
    }
    tile.serial = serial;
    tile.percent = 0;
    tile.banner.clear();
    tile.state = TileState::Running;
    m_runners[index]->Begin(serial);
    return true;
}

void OperatorController::Tick() {
    for (std::size_t i = 0; i < m_tiles.size(); ++i) {
        if (m_tiles[i].state != TileState::Running)
            continue;
        const Pending pending = m_runners[i]->Step();
        m_tiles[i].percent = m_runners[i]->Percent();
        m_tiles[i].activity = m_runners[i]->Activity();
        if (pending == Pending::Ended)
            Finish(i, m_runners[i]->Outcome());
    }
}

void OperatorController::Finish(std::size_t index, BoardOutcome outcome) {
    Tile& tile = m_tiles[index];
    // The serial the board was given, whatever the run reports.
    if (!outcome.serial)
        outcome.serial = tile.serial;
    std::string error;
    const bool logged = m_job.Record(tile.box, outcome, error);
    // A board whose record is lost is not a pass: the log is the proof.
    if (outcome.passed && !logged) {
        outcome.passed = false;
        outcome.message = "Programmed, but the log was not written: " + error;
    } else if (!logged) {
        outcome.message += " (the log was not written: " + error + ")";
    }
    tile.state = outcome.passed ? TileState::Passed : TileState::Failed;
    tile.activity.clear();
    tile.banner = outcome.passed ? kPass : (outcome.message.empty() ? "FAIL" : outcome.message);
    if (outcome.passed) {
        tile.percent = 100;
        ++m_passed;
    } else {
        ++m_failed;
    }
    m_logTail = m_job.LastRecords(kLogLines);
}

void OperatorController::Poll() {
    for (std::size_t i = 0; i < m_tiles.size(); ++i) {
        Tile& tile = m_tiles[i];
        if (tile.state == TileState::Running)
            continue;
        const bool attached = m_runners[i]->Attached();
        const bool plugged = attached && !tile.attached;
        tile.attached = attached;
        if (plugged && m_job.Facts().startOnPlug)
            StartTile(i);
    }
}

bool OperatorController::Running() const {
    for (const Tile& tile : m_tiles) {
        if (tile.state == TileState::Running)
            return true;
    }
    return false;
}

}  // namespace o8r
