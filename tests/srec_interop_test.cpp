// Files exchanged with GNU objcopy, an independent reader and writer of the
// format: what it writes must load, and what we write it must accept.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "core/image/PageChecksum.h"
#include "core/image/SRecordLoader.h"
#include "core/image/SRecordWriter.h"
#include "core/window/SharedState.h"
#include "support/ScratchDir.h"

namespace o8r {
namespace {

const MemoryMap kWholeImage{0, 0, 0x200, 0x100000};

bool HaveObjcopy() {
    return std::system("objcopy --version >/dev/null 2>&1") == 0;
}

int RunQuietly(const std::string& command) {
    return std::system((command + " >/dev/null 2>&1").c_str());
}

std::vector<std::uint8_t> RandomBytes(std::size_t n, std::uint32_t seed) {
    std::mt19937 random(seed);
    std::vector<std::uint8_t> bytes(n);
    for (auto& b : bytes)
        b = static_cast<std::uint8_t>(random());
    return bytes;
}

std::string AsText(const std::vector<std::uint8_t>& bytes) {
    return {bytes.begin(), bytes.end()};
}

class SRecordInterop : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!HaveObjcopy())
            GTEST_SKIP() << "objcopy (binutils) is not installed";
        ResetSharedState();
    }
    test::ScratchDir m_dir;
};

TEST_F(SRecordInterop, ObjcopyFilesLoadIntoTheSameBytes) {
    struct Case {
        std::uint32_t base;
        std::size_t size;
        const char* options;
        char recordType;  // what objcopy chooses for these addresses
    } cases[] = {
        {0x0200, 300, "--srec-len 16", '1'},
        {0x4000, 4096, "", '1'},
        {0x4003, 2001, "--srec-len 8", '1'},
        {0x4000, 777, "--srec-len 1", '1'},
        {0xFF80, 600, "--srec-len 32", '2'},
        {0x1F000, 5000, "--srec-len 64", '2'},
        {0x23F00, 256, "--srec-forceS3", '3'},
        {0x4100, 3000, "--srec-forceS3 --srec-len 200", '3'},
        {0xFE000, 8192, "--srec-len 250", '2'},
    };
    for (const auto& c : cases) {
        const auto bytes = RandomBytes(c.size, c.base);
        const std::string binary = m_dir.Write("in.bin", AsText(bytes));
        const std::string srec = m_dir.File("out.mot");
        char base[16];
        std::snprintf(base, sizeof base, "0x%X", c.base);
        ASSERT_EQ(RunQuietly("objcopy -I binary -O srec --change-addresses " + std::string(base) +
                             " " + c.options + " " + binary + " " + srec),
                  0)
            << base;
        const std::string text = test::ReadWholeFile(srec);
        ASSERT_NE(text.find(std::string("\nS") + c.recordType), std::string::npos) << base;

        ResetSharedState();
        std::istringstream in(text);
        const auto result = LoadSRecordImage(g_state.image, in, text.size(), kWholeImage, {});
        ASSERT_TRUE(result.ok) << base << " " << c.options << ": " << result.message.text;
        EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), g_memImage.begin() + c.base)) << base;
        EXPECT_EQ(g_memImage[c.base - 1], 0xFF) << base;
        if (c.base + c.size < kMemImageSize) {
            EXPECT_EQ(g_memImage[c.base + c.size], 0xFF) << base;
        }

        const std::uint32_t firstPage = c.base / 256;
        const auto lastPage = static_cast<std::uint32_t>((c.base + c.size - 1) / 256);
        ASSERT_EQ(g_pageCount, lastPage - firstPage + 1) << base;
        for (std::uint32_t i = 0; i < g_pageCount; ++i) {
            const PageRecord& record = g_pageRecords[i];
            ASSERT_EQ(PageRecordNumber(record), firstPage + i) << base;
            EXPECT_EQ(PageRecordChecksum(record),
                      PageChecksum(g_memImage.data() + (firstPage + i) * 256, 256))
                << base;
        }
    }
}

TEST_F(SRecordInterop, ObjcopyAcceptsOurFiles) {
    struct Case {
        std::uint32_t start;
        std::uint32_t end;
    } cases[] = {
        {0xC003, 0xC005}, {0xC0F8, 0xC117}, {0x4000, 0x4FFF}, {0x2401, 0x2BFE}, {0xFE000, 0xFFFFF}};
    for (const auto& c : cases) {
        const auto bytes = RandomBytes(c.end - c.start + 1, c.start);
        const std::string srec = m_dir.File("ours.mot");
        const std::string binary = m_dir.File("back.bin");
        const std::string file = BuildSRecordFile(c.start, bytes);
        ASSERT_TRUE(WriteFileReplacing(srec, file));
        ASSERT_EQ(RunQuietly("objcopy -I srec -O binary " + srec + " " + binary), 0)
            << std::hex << c.start;
        EXPECT_EQ(test::ReadWholeFile(binary), AsText(bytes)) << std::hex << c.start;

        // The neighbour with one checksum digit changed: objcopy refuses it too.
        std::string broken = file;
        const std::size_t lineEnd = broken.find_first_of("\r\n", 20);
        ASSERT_NE(lineEnd, std::string::npos);
        const std::size_t digit = lineEnd - 1;
        broken[digit] = broken[digit] == '0' ? '1' : '0';
        m_dir.Write("broken.mot", broken);
        EXPECT_NE(
            RunQuietly("objcopy -I srec -O binary " + m_dir.File("broken.mot") + " " + binary), 0);
        std::istringstream in(broken);
        EXPECT_FALSE(LoadSRecordImage(g_state.image, in, broken.size(), kWholeImage, {}).ok);
    }
}

}  // namespace
}  // namespace o8r
