#pragma once

// Process-wide state shared by every subsystem. Plain globals on the one
// user-interface thread: no locks, no accessors.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace o8r {

constexpr std::uint32_t kMemImageSize = 0x100000;  // 1 MB of target address space
constexpr std::size_t kPageSize = 256;
constexpr std::size_t kPageRecordSize = 260;  // page number, checksum, 256 data bytes
constexpr std::size_t kMaxPageRecords = 512;

// A page record as sent to the box: page number (LE16), PageChecksum (LE16), 256 data bytes.
using PageRecord = std::array<std::uint8_t, kPageRecordSize>;

inline std::uint16_t PageRecordNumber(const PageRecord& r) {
    return static_cast<std::uint16_t>(r[0] | (r[1] << 8));
}
inline std::uint16_t PageRecordChecksum(const PageRecord& r) {
    return static_cast<std::uint16_t>(r[2] | (r[3] << 8));
}

// Two half-open regions; region 1 is absent when its start is 0.
struct MemoryMap {
    std::uint32_t region1Start = 0;
    std::uint32_t region1End = 0;
    std::uint32_t region2Start = 0;
    std::uint32_t region2End = 0;

    friend bool operator==(const MemoryMap&, const MemoryMap&) = default;
};

// Memory image and page records.
extern std::array<std::uint8_t, kMemImageSize> g_memImage;
extern std::array<PageRecord, kMaxPageRecords> g_pageRecords;
extern std::uint16_t g_pageCount;

// Programmer link.
extern std::uint32_t g_hDevice;
extern std::int8_t g_lastDeviceCount;

// Target selection and ID code.
extern std::string g_mcuFilePath;
extern std::string g_selectedMcu;
extern std::uint32_t g_mapRegion1Start;
extern std::uint32_t g_mapRegion1End;
extern std::uint32_t g_mapRegion2Start;
extern std::uint32_t g_mapRegion2End;
extern std::array<std::uint8_t, 7> g_idCode;

// Address range of Read and Blank Check.
extern std::uint32_t g_rangeStart;
extern std::uint32_t g_rangeEnd;
extern std::uint16_t g_rangePageCount;
extern std::uint16_t g_currentPage;
extern std::string g_rangePrompt;

// Erase selection. A plain int: a list of more than 127 blocks must not wrap.
extern std::string g_eraseList;
extern int g_eraseBlockCount;

// Last loaded file. g_fileMap remembers the memory map the file was checked
// against, so that the same-file shortcut never reuses records under another map.
extern std::string g_filePath;
extern std::uint32_t g_fileSize;
extern std::string g_fileTimeStamp;
extern MemoryMap g_fileMap;

// Puts every global back to its start-up value (tests start each case from here).
void ResetSharedState();

// The memory map held in the four g_mapRegion globals, and setting them.
MemoryMap CurrentMemoryMap();
void SetMemoryMap(const MemoryMap& map);

// Hexadecimal text to a 64-bit value: digits 0-9, A-F, a-f; any other
// character gives all ones (-1); an empty text gives 0.
std::int64_t ParseHex(std::string_view text);

// Whether address a lies inside the memory map (unsigned 32-bit comparisons).
bool InMemoryMap(const MemoryMap& map, std::uint32_t a);

}  // namespace o8r
