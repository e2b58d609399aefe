#pragma once

// The rules of the ID code dialog (template 139, caption "ID code"), without widgets.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "core/operations/Prompts.h"

namespace o8r {

class IdCodeEntry {
  public:
    explicit IdCodeEntry(Prompts& prompts) : m_prompts(prompts) {}

    // The text the edit shows when the dialog opens: the erased code, fourteen F.
    static std::string InitialText() { return std::string(14, 'F'); }

    bool CharacterMode() const { return m_characterMode; }
    // 14 in hexadecimal mode, 7 in character mode.
    std::size_t MaxLength() const { return m_characterMode ? 7 : 14; }
    // Check box 1025 clicked: the edit is emptied and its limit follows MaxLength().
    void SetCharacterMode(bool checked) { m_characterMode = checked; }

    // The OK button with the edit's text: shows any message (owned by the ID code
    // dialog), writes g_idCode, and returns true when the dialog closes with OK.
    bool PressOk(const std::string& text);

  private:
    Prompts& m_prompts;
    bool m_characterMode = false;
};

}  // namespace o8r
