#pragma once

// The rules of the "ID code" dialog, which asks for the code that unlocks a part, without widgets.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "core/operations/Prompts.h"
#include "core/protocol/BoxProtocol.h"

namespace o8r {

class IdCodeEntry {
  public:
    // `code` is the ID code the dialog sets.
    IdCodeEntry(Prompts& prompts, IdCode& code) : m_prompts(prompts), m_code(code) {}

    // The text the edit shows when the dialog opens: the erased code, fourteen F.
    static std::string InitialText() { return std::string(14, 'F'); }

    bool CharacterMode() const { return m_characterMode; }
    // 14 in hexadecimal mode, 7 in character mode.
    std::size_t MaxLength() const { return m_characterMode ? 7 : 14; }
    // The character-input check box clicked: the edit is emptied and its limit follows MaxLength().
    void SetCharacterMode(bool checked) { m_characterMode = checked; }

    // The OK button with the edit's text: shows any message (owned by the ID code
    // dialog), sets the code, and returns true when the dialog closes with OK.
    bool PressOk(const std::string& text);

  private:
    Prompts& m_prompts;
    IdCode& m_code;
    bool m_characterMode = false;
};

}  // namespace o8r
