#pragma once

// The rules of the Address Setting dialog (template 166), without widgets.

#include <string>

#include "core/operations/Prompts.h"

namespace o8r {

class AddressRangeEntry {
  public:
    explicit AddressRangeEntry(Prompts& prompts) : m_prompts(prompts) {}

    static constexpr std::size_t kFieldLength = 5;

    // The prompt line 1048: g_rangePrompt when the dialog opens.
    std::string Prompt() const;

    // The OK button with the texts of the start and end fields. Writes g_rangeStart
    // and g_rangeEnd, shows any message (owned by this dialog), may exchange or
    // empty the two texts, and on acceptance sets g_rangePageCount and returns true.
    bool PressOk(std::string& startText, std::string& endText);

  private:
    Prompts& m_prompts;
};

}  // namespace o8r
