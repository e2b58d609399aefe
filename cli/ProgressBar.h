#pragma once

// The one progress line of a running operation, redrawn in place on a
// terminal: `Program |##########          |  50%  0.8 s`.

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <string>

namespace o8r::cli {

class ProgressBar {
  public:
    // `now` gives nanoseconds on the clock the operation runs on; a disabled
    // bar (no terminal, --quiet) never writes anything.
    ProgressBar(std::ostream& out, bool enabled, std::function<std::uint64_t()> now);

    void SetLabel(std::string label) { m_label = std::move(label); }
    const std::string& Label() const { return m_label; }

    void Begin();              // shown at 0 %, elapsed time from now
    void Update(int percent);  // redrawn when the percentage or the tenth of a second changes
    void End();                // the line is cleared
    // Clears the line so that a message can be printed; the next Update redraws it.
    void Suspend();
    bool Active() const { return m_active; }
    // Without line clearing (a console that takes no escape sequences) the
    // line is redrawn with carriage returns and blanks only.
    void SetLineClearing(bool on) { m_lineClearing = on; }

    static std::string Render(const std::string& label, int percent, double seconds);

  private:
    void Draw();

    std::ostream& m_out;
    bool m_enabled;
    std::function<std::uint64_t()> m_now;
    std::string m_label = "Working";
    bool m_active = false;
    bool m_drawn = false;
    int m_percent = 0;
    std::uint64_t m_start = 0;
    std::string m_lastLine;
    bool m_lineClearing = true;
};

}  // namespace o8r::cli
