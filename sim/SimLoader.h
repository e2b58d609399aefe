#pragma once

// The box's own firmware-update loader, as seen through its command set:
// an ID check, two status bytes, block erase and page program over the
// box's 8 KB of program memory (0xFE000-0xFFFFF).

#include <array>
#include <cstddef>
#include <cstdint>

namespace o8r {

class SimLoader {
  public:
    static constexpr std::uint32_t kStart = 0xFE000;
    static constexpr std::uint32_t kSize = 0x2000;
    static constexpr std::uint32_t kBlockSize = 0x1000;  // block 1 at 0xFE000, block 0 at 0xFF000
    // The box's own ID code bytes, checked by 0xF5.
    static constexpr std::array<std::uint32_t, 7> kIdAddresses = {
        0xFFFDF, 0xFFFE3, 0xFFFEB, 0xFFFEF, 0xFFFF3, 0xFFFF7, 0xFFFFB};
    static constexpr std::uint32_t kIdCheckAddress = 0x0FFFDF;

    // First status byte.
    static constexpr std::uint8_t kReady = 0x80;
    static constexpr std::uint8_t kEraseFailed = 0x20;
    static constexpr std::uint8_t kProgramFailed = 0x10;
    // Second status byte: ID check result in bits 2 and 3.
    static constexpr std::uint8_t kIdMismatch = 0x04;
    static constexpr std::uint8_t kIdAccepted = 0x0C;

    SimLoader() { m_memory.fill(0xFF); }

    std::array<std::uint8_t, kSize>& Memory() { return m_memory; }
    const std::array<std::uint8_t, kSize>& Memory() const { return m_memory; }
    std::uint8_t Byte(std::uint32_t address) const;

    // A reset forgets the ID check and the error bits.
    void Reset();
    void SetFaults(bool eraseFails, bool programFails);
    // Only the erase of this block fails (0 at 0xFF000, 1 at 0xFE000).
    void SetEraseFailBlock(int block) { m_eraseFailBlock = block; }

    // 0xF5: address (24 bits), then the code bytes.
    void CheckId(std::uint32_t address, const std::uint8_t* code, std::size_t length);
    // 0x20 ... 0xD0: erase the 4 KB block that starts at `address`.
    // `confirmed` is false when the last byte was not 0xD0.
    void EraseBlock(std::uint32_t address, bool confirmed);
    // 0x41: program the 256-byte page at `address` (cells only go from 1 to 0).
    void ProgramPage(std::uint32_t address, const std::uint8_t* data256);
    // 0x50.
    void ClearStatus() { m_errors = 0; }
    // 0x70: the two status bytes; the ready bit is clear while an erase or a
    // page program is still under way (`ready` false).
    std::array<std::uint8_t, 2> Status(bool ready = true) const;
    bool IdAccepted() const { return m_idState == kIdAccepted; }

  private:
    std::array<std::uint8_t, kSize> m_memory{};
    std::uint8_t m_errors = 0;
    std::uint8_t m_idState = 0;
    bool m_eraseFails = false;
    bool m_programFails = false;
    int m_eraseFailBlock = -1;
};

}  // namespace o8r
