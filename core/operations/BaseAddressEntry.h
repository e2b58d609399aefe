#pragma once

// The rules of the small dialog that asks where a binary image file goes: one
// address in hexadecimal, the part's first program-ROM address to begin with.

#include <cstddef>
#include <cstdint>
#include <string>

#include "core/model/MemoryMap.h"
#include "core/operations/Prompts.h"

namespace o8r {

class BaseAddressEntry {
  public:
    static constexpr std::size_t kFieldLength = 5;

    BaseAddressEntry(Prompts& prompts, const MemoryMap& map);

    // The field's text when the dialog opens.
    [[nodiscard]] const std::string& InitialText() const { return m_initialText; }
    // The OK button with the field's text: shows any message (owned by this
    // dialog) and returns true when the address is taken.
    [[nodiscard]] bool PressOk(const std::string& text);
    [[nodiscard]] std::uint32_t Base() const { return m_base; }

  private:
    Prompts& m_prompts;
    MemoryMap m_map;
    std::string m_initialText;
    std::uint32_t m_base = 0;
};

}  // namespace o8r
