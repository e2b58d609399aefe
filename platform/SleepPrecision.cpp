#include "platform/SleepPrecision.h"

#if defined(__linux__)
#include <sys/prctl.h>
#endif

namespace o8r {

void SharpenSleeps() {
#if defined(__linux__)
    // Best effort: a refusal leaves the default slack.
    (void)prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
#endif
}

}  // namespace o8r
