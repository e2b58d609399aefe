#include "sim/SimLoader.h"

#include <algorithm>

namespace o8r {

std::uint8_t SimLoader::Byte(std::uint32_t address) const {
    if (address < kStart || address - kStart >= kSize)
        return 0xFF;
    return m_memory[address - kStart];
}

void SimLoader::Reset() {
    m_errors = 0;
    m_idState = 0;
}

void SimLoader::SetFaults(bool eraseFails, bool programFails) {
    m_eraseFails = eraseFails;
    m_programFails = programFails;
}

void SimLoader::CheckId(std::uint32_t address, const std::uint8_t* code, std::size_t length) {
    bool match = address == kIdCheckAddress && length == kIdAddresses.size() && code != nullptr;
    for (std::size_t i = 0; match && i < length; ++i) {
        if (code[i] != Byte(kIdAddresses[i]))
            match = false;
    }
    m_idState = match ? kIdAccepted : kIdMismatch;
}

void SimLoader::EraseBlock(std::uint32_t address, bool confirmed) {
    // A loader refuses to touch its memory before the ID check has passed.
    bool isBlock =
        address >= kStart && address - kStart < kSize && (address - kStart) % kBlockSize == 0;
    const int block = address == kStart + kBlockSize ? 0 : 1;
    if (!confirmed || !isBlock || !IdAccepted() || m_eraseFails || block == m_eraseFailBlock) {
        m_errors |= kEraseFailed;
        return;
    }
    std::fill_n(m_memory.begin() + (address - kStart), kBlockSize, std::uint8_t{0xFF});
}

void SimLoader::ProgramPage(std::uint32_t address, const std::uint8_t* data256) {
    bool inside = address >= kStart && address - kStart < kSize && address % 256 == 0;
    if (!inside || !IdAccepted() || m_programFails) {
        m_errors |= kProgramFailed;
        return;
    }
    bool verified = true;
    for (std::uint32_t i = 0; i < 256; ++i) {
        std::uint8_t& cell = m_memory[address - kStart + i];
        cell = static_cast<std::uint8_t>(cell & data256[i]);
        if (cell != data256[i])
            verified = false;
    }
    if (!verified)
        m_errors |= kProgramFailed;
}

std::array<std::uint8_t, 2> SimLoader::Status(bool ready) const {
    return {static_cast<std::uint8_t>((ready ? kReady : 0) | m_errors), m_idState};
}

}  // namespace o8r
