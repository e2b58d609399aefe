#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "core/image/PageChecksum.h"

namespace o8r {
namespace {

std::uint16_t Checksum(const std::vector<std::uint8_t>& data) {
    return PageChecksum(data.data(), data.size());
}

std::uint8_t Reverse8(std::uint8_t b) {
    std::uint8_t r = 0;
    for (int i = 0; i < 8; ++i)
        r = static_cast<std::uint8_t>(r | (((b >> i) & 1) << (7 - i)));
    return r;
}

// The box's own description of the sum: bytes reversed, MSB-first shifting
// with 0x1021, the register reversed at the end.
std::uint16_t ShiftRegisterKermit(const std::vector<std::uint8_t>& data) {
    std::uint16_t r = 0;
    for (std::uint8_t byte : data) {
        const std::uint8_t reversed = Reverse8(byte);
        for (int bit = 7; bit >= 0; --bit) {
            const bool out = (r & 0x8000) != 0;
            r = static_cast<std::uint16_t>(r << 1);
            if (out)
                r ^= 0x1021;
            if ((reversed >> bit) & 1)
                r ^= 0x1021;
        }
    }
    std::uint16_t result = 0;
    for (int i = 0; i < 16; ++i)
        result = static_cast<std::uint16_t>(result | (((r >> i) & 1) << (15 - i)));
    return result;
}

TEST(PageChecksum, ReferenceValues) {
    const std::string digits = "123456789";
    struct Case {
        const char* name;
        std::vector<std::uint8_t> data;
        std::uint16_t expected;
    } cases[] = {
        {"ascii 1-9", {digits.begin(), digits.end()}, 0x2189},
        {"page of 0xFF", std::vector<std::uint8_t>(256, 0xFF), 0xE358},
        {"page of 0x00", std::vector<std::uint8_t>(256, 0x00), 0x0000},
        {"nothing", {}, 0x0000},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Checksum(c.data), c.expected) << c.name;
}

TEST(PageChecksum, MatchesShiftRegisterOnRandomPages) {
    std::mt19937 random(20240611);
    for (int round = 0; round < 200; ++round) {
        std::vector<std::uint8_t> page(round % 7 == 0 ? round : 256);
        for (auto& b : page)
            b = static_cast<std::uint8_t>(random());
        ASSERT_EQ(Checksum(page), ShiftRegisterKermit(page)) << "round " << round;
    }
}

}  // namespace
}  // namespace o8r
