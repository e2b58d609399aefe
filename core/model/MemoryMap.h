#pragma once

// The target's address space and the memory map that limits where an image
// may lie and which range may be read or checked.

#include <cstdint>

namespace o8r {

constexpr std::uint32_t kMemImageSize = 0x100000;  // 1 MB of target address space

// Two half-open regions; region 1 is absent when its start is 0.
struct MemoryMap {
    std::uint32_t region1Start = 0;
    std::uint32_t region1End = 0;
    std::uint32_t region2Start = 0;
    std::uint32_t region2End = 0;

    friend bool operator==(const MemoryMap&, const MemoryMap&) = default;
};

// The box's own program memory, the only place its firmware loader takes.
constexpr MemoryMap kFirmwareUpdateMap{0, 0, 0xFE000, 0x100000};

// Whether address a lies inside the memory map (unsigned 32-bit comparisons).
[[nodiscard]] bool InMemoryMap(const MemoryMap& map, std::uint32_t a);

}  // namespace o8r
