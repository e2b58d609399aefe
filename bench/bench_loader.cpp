// The S-record loader on the largest file accepted (2,500,000 bytes) and on a
// full 128 KB image of 16-byte S2 records, plus the page checksum and the
// writer for a 128 KB read.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "core/image/LoadedFile.h"
#include "core/image/PageChecksum.h"
#include "core/image/SRecordLoader.h"
#include "core/image/SRecordWriter.h"
#include "core/window/SharedState.h"

namespace {

using namespace o8r;

// R5F212ACSN: 128 KB of program ROM, exactly 512 pages.
const MemoryMap kAcsn{0, 0, 0x4000, 0x24000};

std::uint8_t NextByte(std::uint32_t& state) {
    state = state * 1103515245u + 12345u;
    return static_cast<std::uint8_t>(state >> 16);
}

void AppendS2(std::string& out, std::uint32_t address, std::size_t length, std::uint32_t& state) {
    unsigned sum = static_cast<unsigned>(length + 4) + (address >> 16 & 0xFF) +
                   (address >> 8 & 0xFF) + (address & 0xFF);
    char text[16];
    std::snprintf(text, sizeof text, "S2%02X%06X", static_cast<unsigned>(length + 4), address);
    out += text;
    for (std::size_t i = 0; i < length; ++i) {
        const std::uint8_t b = NextByte(state);
        sum += b;
        std::snprintf(text, sizeof text, "%02X", b);
        out += text;
    }
    std::snprintf(text, sizeof text, "%02X\r\n", 0xFF - (sum & 0xFF));
    out += text;
}

// S2 records of 16 bytes sweeping the program ROM again and again until the
// file is exactly `size` bytes long.
std::string MakeImageFile(std::size_t size) {
    const std::string header = "S00600005A4F4B05\r\n";
    const std::string terminator = "S804004000BB\r\n";
    constexpr std::size_t kLine16 = 46;  // "S214" + address + 32 digits + checksum + CR LF
    constexpr std::size_t kLine0 = 14;
    std::string out = header;
    out.reserve(size);
    std::uint32_t state = 1;
    std::uint32_t address = kAcsn.region2Start;
    auto remaining = [&] { return size - out.size() - terminator.size(); };
    while (remaining() >= kLine16 + kLine0) {
        AppendS2(out, address, 16, state);
        address += 16;
        if (address >= kAcsn.region2End)
            address = kAcsn.region2Start;
    }
    const std::size_t last = (remaining() - kLine0) / 2;
    if (address + last > kAcsn.region2End)
        address = kAcsn.region2Start;
    AppendS2(out, address, last, state);
    return out + terminator;
}

std::string MakeFullImage() {
    std::string out = "S00600005A4F4B05\r\n";
    std::uint32_t state = 7;
    for (std::uint32_t a = kAcsn.region2Start; a < kAcsn.region2End; a += 16)
        AppendS2(out, a, 16, state);
    return out + "S804004000BB\r\n";
}

void LoadText(benchmark::State& state, const std::string& text) {
    for (auto _ : state) {
        std::istringstream in(text);
        const SRecordLoadResult result =
            LoadSRecordImage(g_state.image, in, text.size(), kAcsn, {});
        if (!result.ok || g_pageCount != 512) {
            state.SkipWithError(result.ok ? "wrong page count" : result.message.text.c_str());
            break;
        }
        benchmark::DoNotOptimize(g_pageRecords.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}

void BM_LoadLargestFile(benchmark::State& state) {
    static const std::string text = MakeImageFile(kMaxImageFileSize);
    LoadText(state, text);
}
BENCHMARK(BM_LoadLargestFile)->Unit(benchmark::kMillisecond);

void BM_Load128KImage(benchmark::State& state) {
    static const std::string text = MakeFullImage();
    LoadText(state, text);
}
BENCHMARK(BM_Load128KImage)->Unit(benchmark::kMillisecond);

void BM_PageChecksum(benchmark::State& state) {
    std::vector<std::uint8_t> page(256);
    std::uint32_t seed = 3;
    for (auto& b : page)
        b = NextByte(seed);
    for (auto _ : state)
        benchmark::DoNotOptimize(PageChecksum(page.data(), page.size()));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * page.size()));
}
BENCHMARK(BM_PageChecksum);

void BM_Write128KRead(benchmark::State& state) {
    std::vector<ReadRow> rows;
    for (std::uint32_t row = kAcsn.region2Start; row < kAcsn.region2End; row += 16) {
        ReadRow r;
        char text[16];
        std::snprintf(text, sizeof text, " %06X", row);
        r[0] = text;
        for (int i = 1; i <= 16; ++i) {
            std::snprintf(text, sizeof text, "%02X", (row + static_cast<std::uint32_t>(i)) & 0xFF);
            r[static_cast<std::size_t>(i)] = text;
        }
        rows.push_back(r);
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(BuildSRecordFile(rows, kAcsn.region2Start));
}
BENCHMARK(BM_Write128KRead)->Unit(benchmark::kMillisecond);

}  // namespace
