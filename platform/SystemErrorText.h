#pragma once

// The system's own words for an error code of the Windows API, in UTF-8.

#include <string>

namespace o8r {

#if defined(_WIN32)
// "Access is denied", without the final full stop; "system error N" when the
// system has no text for it.
[[nodiscard]] std::string SystemErrorText(unsigned long code);
#endif

}  // namespace o8r
