#include "app/SharedState.h"

namespace o8r {

std::array<std::uint8_t, kMemImageSize> g_memImage{};
std::array<PageRecord, kMaxPageRecords> g_pageRecords{};
std::uint16_t g_pageCount = 0;

std::uint32_t g_hDevice = 0;
std::int8_t g_lastDeviceCount = 0;

std::string g_mcuFilePath;
std::string g_selectedMcu;
std::uint32_t g_mapRegion1Start = 0;
std::uint32_t g_mapRegion1End = 0;
std::uint32_t g_mapRegion2Start = 0;
std::uint32_t g_mapRegion2End = 0;
std::array<std::uint8_t, 7> g_idCode{};

std::uint32_t g_rangeStart = 0;
std::uint32_t g_rangeEnd = 0;
std::uint16_t g_rangePageCount = 0;
std::uint16_t g_currentPage = 0;
std::string g_rangePrompt;

std::string g_eraseList;
int g_eraseBlockCount = 0;

std::string g_filePath;
std::uint32_t g_fileSize = 0;
std::string g_fileTimeStamp;
MemoryMap g_fileMap;

void ResetSharedState() {
    g_memImage.fill(0);
    for (auto& record : g_pageRecords)
        record.fill(0);
    g_pageCount = 0;
    g_hDevice = 0;
    g_lastDeviceCount = 0;
    g_mcuFilePath.clear();
    g_selectedMcu.clear();
    SetMemoryMap(MemoryMap{});
    g_idCode.fill(0);
    g_rangeStart = 0;
    g_rangeEnd = 0;
    g_rangePageCount = 0;
    g_currentPage = 0;
    g_rangePrompt.clear();
    g_eraseList.clear();
    g_eraseBlockCount = 0;
    g_filePath.clear();
    g_fileSize = 0;
    g_fileTimeStamp.clear();
    g_fileMap = MemoryMap{};
}

MemoryMap CurrentMemoryMap() {
    return MemoryMap{g_mapRegion1Start, g_mapRegion1End, g_mapRegion2Start, g_mapRegion2End};
}

void SetMemoryMap(const MemoryMap& map) {
    g_mapRegion1Start = map.region1Start;
    g_mapRegion1End = map.region1End;
    g_mapRegion2Start = map.region2Start;
    g_mapRegion2End = map.region2End;
}

std::int64_t ParseHex(std::string_view text) {
    std::uint64_t value = 0;  // unsigned: long texts wrap instead of overflowing
    for (char c : text) {
        int digit;
        if (c >= '0' && c <= '9') {
            digit = c - '0';
        } else if (c >= 'A' && c <= 'F') {
            digit = c - 'A' + 10;
        } else if (c >= 'a' && c <= 'f') {
            digit = c - 'a' + 10;
        } else {
            return -1;
        }
        value = value * 16 + static_cast<std::uint64_t>(digit);
    }
    return static_cast<std::int64_t>(value);
}

bool InMemoryMap(const MemoryMap& map, std::uint32_t a) {
    if (map.region1Start == 0) {
        return map.region2Start <= a && a < map.region2End;
    }
    if (a < map.region1Start || a >= map.region2End)
        return false;
    return !(map.region1End <= a && a < map.region2Start);
}

}  // namespace o8r
