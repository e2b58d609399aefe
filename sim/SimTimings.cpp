#include "sim/SimOptions.h"

namespace o8r {

namespace {

constexpr std::uint64_t kSimUs = kSimMs / 1000;

}  // namespace

// What the PC allows, and so what `Slow` stays just inside of:
// - boot: the programmer poll reads CTS 50 ms after it releases the reset;
//   a box still booting then looks like one in its update loader;
// - 'C', 'U', 'D' and '?': 2000 readiness polls of 1 ms;
// - 'V': 100 ticks of 15.625 ms (1.5625 s), 'E': 200 ticks (3.125 s),
//   'R' and a Load record: 50 ticks (781 ms), the answer's wire time included;
// - loader erase: 50 ms pass between 0xD0 and the 0x70 that reads its status;
//   loader page program: 10 ms between the last data byte and 0x70.
SimTimings TimingsFor(SimTimingProfile profile) {
    switch (profile) {
        case SimTimingProfile::Fast:
            return {.bootNs = 1 * kSimMs,
                    .commandNs = 50 * kSimUs,
                    .pageProgramNs = 500 * kSimUs,
                    .blockEraseNs = 5 * kSimMs,
                    .pageReadNs = 200 * kSimUs,
                    .storeRecordNs = 200 * kSimUs,
                    .loaderEraseNs = 1 * kSimMs,
                    .loaderProgramNs = 200 * kSimUs};
        case SimTimingProfile::Slow:
            return {.bootNs = 45 * kSimMs,
                    .commandNs = 1800 * kSimMs,
                    .pageProgramNs = 1400 * kSimMs,
                    .blockEraseNs = 2800 * kSimMs,
                    .pageReadNs = 695 * kSimMs,
                    .storeRecordNs = 700 * kSimMs,
                    .loaderEraseNs = 45 * kSimMs,
                    .loaderProgramNs = 9400 * kSimUs};
        case SimTimingProfile::Typical:
            break;
    }
    return {};
}

std::optional<SimTimingProfile> ParseTimingProfile(std::string_view text) {
    if (text == "fast")
        return SimTimingProfile::Fast;
    if (text == "typical")
        return SimTimingProfile::Typical;
    if (text == "slow")
        return SimTimingProfile::Slow;
    return std::nullopt;
}

}  // namespace o8r
