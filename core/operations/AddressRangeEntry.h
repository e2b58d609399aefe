#pragma once

// The rules of the "Address Setting" dialog, which asks for the range to read or check, without
// widgets.

#include <cstdint>
#include <string>

#include "core/model/MemoryMap.h"
#include "core/operations/Prompts.h"

namespace o8r {

class AddressRangeEntry {
  public:
    // Checks addresses against `map`; `prompt` is the dialog's prompt line.
    AddressRangeEntry(Prompts& prompts, const MemoryMap& map, std::string prompt)
        : m_prompts(prompts), m_map(map), m_prompt(std::move(prompt)) {}

    static constexpr std::size_t kFieldLength = 5;

    const std::string& Prompt() const { return m_prompt; }

    // The OK button with the texts of the start and end fields: shows any
    // message (owned by this dialog), may exchange or empty the two texts, and
    // on acceptance holds the range and returns true.
    bool PressOk(std::string& startText, std::string& endText);

    // The range the last press accepted, start <= end, and the pages it touches.
    std::uint32_t Start() const { return m_start; }
    std::uint32_t End() const { return m_end; }
    std::uint16_t PageCount() const { return m_pageCount; }

  private:
    Prompts& m_prompts;
    MemoryMap m_map;
    std::string m_prompt;
    std::uint32_t m_start = 0;
    std::uint32_t m_end = 0;
    std::uint16_t m_pageCount = 0;
};

}  // namespace o8r
