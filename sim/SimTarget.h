#pragma once

// The target MCU in the box's socket: its flash, erased by block, programmed
// one 256-byte page at a time, and its ID code area.

#include <array>
#include <cstdint>
#include <vector>

#include "sim/SimOptions.h"

namespace o8r {

class SimTarget {
  public:
    static constexpr std::uint32_t kAddressSpace = 0x100000;
    // Where the seven ID code bytes live; the code's first byte pairs with 0xFFDF.
    static constexpr std::array<std::uint32_t, 7> kIdAddresses = {0xFFDF, 0xFFE3, 0xFFEB, 0xFFEF,
                                                                  0xFFF3, 0xFFF7, 0xFFFB};

    enum class ProgramResult { Ok, NotFlash, VerifyFailed };

    // A new target: every flash byte 0xFF. Blocks that are unaligned,
    // overlapping or beyond 1 MB are dropped.
    explicit SimTarget(std::vector<FlashBlock> blocks);

    const std::vector<FlashBlock>& Blocks() const { return m_blocks; }
    bool IsFlash(std::uint32_t address) const;
    // Outside the flash the target reads 0xFF.
    std::uint8_t Byte(std::uint32_t address) const;
    void ReadPage(std::uint16_t page, std::uint8_t* out256) const;

    // Flash cells only go from 1 to 0: the page becomes old AND new, and the
    // result is VerifyFailed when that differs from the data asked for.
    ProgramResult ProgramPage(std::uint16_t page, const std::uint8_t* data256);
    // Erases the block that starts exactly at `address`; false when none does.
    bool EraseBlockAt(std::uint32_t address);

    // Locked when the ID area is not all 0xFF.
    bool IsProtected() const;
    std::array<std::uint8_t, 7> IdCode() const;
    bool IdMatches(const std::array<std::uint8_t, 7>& code) const { return IdCode() == code; }

    // Sets a flash byte directly, as a factory-programmed chip would hold it
    // (tests and the protected-target fault). Ignored outside the flash.
    void Poke(std::uint32_t address, std::uint8_t value);
    void WriteIdCode(const std::array<std::uint8_t, 7>& code);

    // The whole address space image; non-flash bytes stay 0xFF.
    const std::vector<std::uint8_t>& Image() const { return m_memory; }

  private:
    std::vector<FlashBlock> m_blocks;
    std::vector<std::uint8_t> m_memory;
};

// Keeps the blocks that fit a 1 MB space, start and end on a page boundary
// and do not overlap an earlier one; sorted by start address.
std::vector<FlashBlock> SaneFlashBlocks(std::vector<FlashBlock> blocks);

}  // namespace o8r
