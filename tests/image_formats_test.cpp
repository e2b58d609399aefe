// Intel HEX and binary files against the rules S-records follow: one table of
// good and bad files a format, and the writers read back.

#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "core/image/ImageFile.h"
#include "core/image/IntelHexLoader.h"

namespace o8r {
namespace {

// Data flash and 128 KB of program ROM.
const MemoryMap kMap{0x2400, 0x2C00, 0x4000, 0x24000};

struct Case {
    const char* name;
    std::string text;
    std::string refusal;  // empty: loads
    std::uint32_t address = 0;
    std::vector<std::uint8_t> bytes{};
};

class Loads : public ::testing::Test {
  protected:
    std::unique_ptr<PageImage> image = std::make_unique<PageImage>();

    void Check(const Case& c, ImageLoadResult result) {
        SCOPED_TRACE(c.name);
        if (!c.refusal.empty()) {
            EXPECT_FALSE(result.ok);
            EXPECT_EQ(result.message.text, c.refusal);
            return;
        }
        ASSERT_TRUE(result.ok) << result.message.text;
        for (std::size_t i = 0; i < c.bytes.size(); ++i)
            EXPECT_EQ(image->memImage[c.address + i], c.bytes[i]) << i;
    }
};

TEST_F(Loads, IntelHexTable) {
    const std::string out = "Load file address is out of memory map!\n";
    const std::string bad = "Error format!\n";
    const std::vector<Case> cases = {
        {"data and end", ":024000000102BB\r\n:00000001FF\r\n", "", 0x4000, {1, 2}},
        {"LF, blank lines, no end record", "\n:024000000102BB\n\n", "", 0x4000, {1, 2}},
        {"lower-case digits", ":02400000aabb59\n", "", 0x4000, {0xAA, 0xBB}},
        {"data flash", ":012400004299\n", "", 0x2400, {0x42}},
        {"linear base 04", ":020000040001F9\n:0100000042BD\n", "", 0x10000, {0x42}},
        {"segment base 02", ":020000020400F8\n:0100000042BD\n", "", 0x4000, {0x42}},
        {"start addresses ignored",
         ":0400000300000000F9\n:0400000500004000B7\n:01400000427D\n",
         "",
         0x4000,
         {0x42}},
        {"later data wins", ":024000000102BB\n:014001000FAF\n", "", 0x4000, {1, 0x0F}},
        {"half a byte", ":01240000429\n", bad + "Line 1: odd number of hex digits"},
        {"wrong checksum", ":024000000102BC\n", bad + "Line 1: wrong checksum"},
        {"count and line disagree", ":034000000102BB\n",
         bad + "Line 1: byte count does not match the line length"},
        {"bad digit", ":024000000G02BB\n", bad + "Line 1: bad hex digit"},
        {"short", ":00\n", bad + "Line 1: line too short"},
        {"type 06", ":00000006FA\n", bad + "Line 1: unknown record type"},
        {"base of 3 bytes", ":03000004000100F8\n",
         bad + "Line 1: base address record not of 2 bytes"},
        {"not a record on line 2", ":024000000102BB\nS1\n",
         bad + "Line 2: not an Intel HEX record"},
        {"record after the end", ":00000001FF\r\n:024000000102BB\r\n",
         bad + "Line 2: a record after the end record of line 1"},
        {"a note after the end", ":01400000427D\n:00000001FF\nnote\n\x1A", "", 0x4000, {0x42}},
        {"between the regions", ":01300000428D\n", out + "Line 1: address 03000"},
        {"past the map", ":020000040002F8\n:01400000427D\n", out + "Line 2: address 24000"},
    };
    for (const Case& c : cases) {
        std::istringstream in(c.text);
        Check(c, LoadIntelHexImage(*image, in, c.text.size(), kMap, {}));
    }
}

TEST_F(Loads, BinaryTable) {
    const std::string out = "Load file address is out of memory map!\n";
    const std::vector<std::uint8_t> ramp = {0, 1, 2, 3};
    struct BinaryCase {
        Case c;
        std::uint32_t base;
    };
    const std::vector<BinaryCase> cases = {
        {{"at the program ROM", std::string("\x00\x01\x02\x03", 4), "", 0x4000, ramp}, 0x4000},
        {{"into the data flash", std::string("\x00\x01\x02\x03", 4), "", 0x2400, ramp}, 0x2400},
        {{"runs past the map", std::string(0x101, 'x'), out + "Offset 0x100: address 24000"},
         0x23F00},
        {{"base outside the map", std::string(1, '\0'), out + "Offset 0x0: address 03000"}, 0x3000},
    };
    for (const BinaryCase& b : cases) {
        std::istringstream in(b.c.text);
        Check(b.c, LoadBinaryImage(*image, in, b.c.text.size(), b.base, kMap, {}));
    }
}

TEST(ImageFormat, FoundFromTheContentAlone) {
    const std::vector<std::pair<std::string, ImageFormat>> cases = {
        {"S00600004844521B\n", ImageFormat::SRecord},
        {"", ImageFormat::SRecord},  // refused by the S-record reader, as before
        {"\r\n:00000001FF\n", ImageFormat::IntelHex},
        {"\x7F"
         "ELF",
         ImageFormat::Binary},
        {std::string(4, '\0'), ImageFormat::Binary},
    };
    for (const auto& [text, format] : cases) {
        std::istringstream in(text);
        EXPECT_EQ(DetectImageFormat(in), format) << text;
        EXPECT_EQ(in.tellg(), 0);
    }
    EXPECT_EQ(SaveFormatFor("read.HEX"), ImageFormat::IntelHex);
    EXPECT_EQ(SaveFormatFor("read.ihex"), ImageFormat::IntelHex);
    EXPECT_EQ(SaveFormatFor("read.bin"), ImageFormat::Binary);
    EXPECT_EQ(SaveFormatFor("read.s19"), ImageFormat::SRecord);
    EXPECT_EQ(SaveFormatFor("dir.hex/read"), ImageFormat::SRecord);
}

// Each writer's file, read back by the content's reader, gives the bytes read,
// across a 64 KB segment for Intel HEX.
TEST(ImageFormat, WrittenFilesLoadBack) {
    std::vector<std::uint8_t> data(0x30);
    for (std::size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<std::uint8_t>(i * 7);
    const MemoryMap map{0, 0, 0x4000, 0x24000};
    for (const ImageFormat format :
         {ImageFormat::SRecord, ImageFormat::IntelHex, ImageFormat::Binary}) {
        const std::string text = BuildImageFile(format, 0xFFF8, data);
        std::istringstream in(text);
        auto image = std::make_unique<PageImage>();
        const ImageLoadResult result = LoadAnyImage(*image, in, text.size(), 0xFFF8, map, {});
        ASSERT_TRUE(result.ok) << ImageFormatName(format) << result.message.text;
        EXPECT_TRUE(std::equal(data.begin(), data.end(), image->memImage.begin() + 0xFFF8))
            << ImageFormatName(format);
    }
    EXPECT_EQ(BuildIntelHexFile(0x4000, std::vector<std::uint8_t>{1, 2}),
              ":020000040000FA\r\n:024000000102BB\r\n:00000001FF\r\n");
}

TEST(ImageFormat, IdCodeOnlyWhenNotAllFF) {
    auto image = std::make_unique<PageImage>();
    image->memImage.fill(0xFF);
    EXPECT_FALSE(ImageIdCode(*image));
    image->memImage[0xFFDF] = 0x12;
    image->memImage[0xFFFB] = 0x34;
    EXPECT_EQ(ImageIdCode(*image), (IdCode{0x12, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x34}));
}

}  // namespace
}  // namespace o8r
