#include "sim/SimTarget.h"

#include <algorithm>
#include <cstring>

namespace o8r {

std::vector<FlashBlock> SaneFlashBlocks(std::vector<FlashBlock> blocks) {
    std::sort(blocks.begin(), blocks.end(),
              [](const FlashBlock& a, const FlashBlock& b) { return a.start < b.start; });
    std::vector<FlashBlock> kept;
    for (const FlashBlock& block : blocks) {
        bool fits = block.size > 0 && block.start < SimTarget::kAddressSpace &&
                    block.size <= SimTarget::kAddressSpace - block.start;
        bool aligned = block.start % 256 == 0 && block.size % 256 == 0;
        bool clear = kept.empty() || kept.back().start + kept.back().size <= block.start;
        if (fits && aligned && clear)
            kept.push_back(block);
    }
    return kept;
}

SimTarget::SimTarget(std::vector<FlashBlock> blocks)
    : m_blocks(SaneFlashBlocks(std::move(blocks))), m_memory(kAddressSpace, 0xFF) {}

bool SimTarget::IsFlash(std::uint32_t address) const {
    return std::any_of(m_blocks.begin(), m_blocks.end(), [address](const FlashBlock& b) {
        return address >= b.start && address - b.start < b.size;
    });
}

std::uint8_t SimTarget::Byte(std::uint32_t address) const {
    return address < kAddressSpace ? m_memory[address] : 0xFF;
}

void SimTarget::ReadPage(std::uint16_t page, std::uint8_t* out256) const {
    std::uint32_t base = static_cast<std::uint32_t>(page) << 8;
    for (std::uint32_t i = 0; i < 256; ++i)
        out256[i] = Byte(base + i);
}

SimTarget::ProgramResult SimTarget::ProgramPage(std::uint16_t page, const std::uint8_t* data256) {
    std::uint32_t base = static_cast<std::uint32_t>(page) << 8;
    // Blocks are page aligned, so one address tells for the whole page.
    if (!IsFlash(base))
        return ProgramResult::NotFlash;
    bool verified = true;
    for (std::uint32_t i = 0; i < 256; ++i) {
        std::uint8_t& cell = m_memory[base + i];
        cell = static_cast<std::uint8_t>(cell & data256[i]);
        if (cell != data256[i])
            verified = false;
    }
    return verified ? ProgramResult::Ok : ProgramResult::VerifyFailed;
}

bool SimTarget::EraseBlockAt(std::uint32_t address) {
    for (const FlashBlock& block : m_blocks) {
        if (block.start == address) {
            std::fill_n(m_memory.begin() + block.start, block.size, std::uint8_t{0xFF});
            return true;
        }
    }
    return false;
}

std::array<std::uint8_t, 7> SimTarget::IdCode() const {
    std::array<std::uint8_t, 7> code{};
    for (std::size_t i = 0; i < code.size(); ++i)
        code[i] = Byte(kIdAddresses[i]);
    return code;
}

bool SimTarget::IsProtected() const {
    auto code = IdCode();
    return std::any_of(code.begin(), code.end(), [](std::uint8_t b) { return b != 0xFF; });
}

void SimTarget::Poke(std::uint32_t address, std::uint8_t value) {
    if (IsFlash(address))
        m_memory[address] = value;
}

void SimTarget::WriteIdCode(const std::array<std::uint8_t, 7>& code) {
    for (std::size_t i = 0; i < code.size(); ++i)
        Poke(kIdAddresses[i], code[i]);
}

}  // namespace o8r
