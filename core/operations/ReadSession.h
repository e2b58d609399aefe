#pragma once

// The read-data window (caption "Read data") without widgets: it fetches the
// range page by page on its own 1 ms timer, stepping the session's read, keeps the hex dump
// rows, and saves them as an S-record file.

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "core/image/ImageFile.h"
#include "core/image/ReadRow.h"
#include "core/model/Ids.h"
#include "core/operations/BoxSession.h"
#include "core/operations/Prompts.h"
#include "core/operations/RangePages.h"
#include "core/protocol/Clock.h"

namespace o8r {

// What the session asks of its window.
class ReadView {
  public:
    virtual ~ReadView() = default;
    virtual void SetButtonIcon(IconId icon) = 0;              // the Cancel/Save button
    virtual void SetStatusText(const std::string& text) = 0;  // the status line
    virtual void ShowStatus(bool show) = 0;
    virtual void ShowProgress(bool show) = 0;  // the progress bar
    virtual void SetProgress(int percent) = 0;
    virtual void StartTimer(TimerId timerId, int periodMs) = 0;
    virtual void StopTimer(TimerId timerId) = 0;
    // Rows were appended or cells emptied; `firstChanged` is the first row touched.
    virtual void RowsChanged(std::size_t firstChanged) = 0;
    // Ends the modal window with DialogResult::Ok or DialogResult::Cancel.
    virtual void Close(DialogResult result) = 0;
};

enum class SaveResult { Saved, Declined, Failed };

// Saves bytes read from `start` on at `path` in `format`, by default the one
// the path's extension names (S-records unless .hex, .ihex or .bin): an existing
// file is replaced only after the overwrite question, and only once the new
// one is whole. The question and the failure message are owned by the
// read-data window; the success message is the caller's.
[[nodiscard]] SaveResult SaveReadData(Prompts& prompts, const std::string& path,
                                      std::uint32_t start, std::span<const std::uint8_t> data,
                                      std::optional<ImageFormat> format = std::nullopt);

class ReadSession : private OperationListener {
  public:
    // Steps the read `session` has begun, its range answered with `range`.
    ReadSession(BoxSession& session, Prompts& prompts, const AddressRange& range);

    // Binds the window; called once when it opens (the Cancel icon, progress 0,
    // the timer). From then on the window hears the read's progress and ending.
    void Open(ReadView& view);
    void OnTimer(TimerId timerId);
    void OnButton();         // the Cancel/Save button (or Enter): cancel while reading, else save
    void OnCancelCommand();  // Escape or the close box

    // The hex dump rows as the window shows them.
    const std::vector<ReadRow>& Rows() const { return m_rows; }
    // The bytes read so far, from the range's start on.
    const std::vector<std::uint8_t>& Data() const { return m_data; }
    bool ReadFinished() const { return m_readFinished; }
    bool DataSaved() const { return m_dataSaved; }

  private:
    // OperationListener: the pages as they come, and the read's ending.
    void Progress(int percent) override;
    void Finished(const OperationResult& result) override;
    void StartReadTimer();
    void StopReadTimer();
    bool ConfirmCancelReading();
    void Save();
    MsgAnswer Ask(const std::string& text, const std::string& caption, MsgIcon icon,
                  MsgButtons buttons);

    BoxSession& m_session;
    Clock& m_clock;
    Prompts& m_prompts;
    AddressRange m_range;
    ReadView* m_view = nullptr;
    std::vector<ReadRow> m_rows;
    std::vector<std::uint8_t> m_data;
    bool m_readFinished = false;
    bool m_dataSaved = false;
    bool m_timerRunning = false;
    bool m_closed = false;
    // While the timer is stopped for a question the page's allowance does not run.
    std::uint64_t m_stoppedAt = 0;
};

}  // namespace o8r
