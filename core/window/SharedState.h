#pragma once

// The main window's model: the values its controls and dialogs set, kept
// under the plain global names the window has always used. All of them live in
// one struct, so that one reset puts every one of them back to its start-up
// value. One user-interface thread touches them: no locks, no accessors. Below
// the window nothing reads them: a session is handed what it works on.

#include <array>
#include <cstdint>
#include <string>

#include "core/image/PageImage.h"
#include "core/model/MemoryMap.h"
#include "core/protocol/BoxProtocol.h"

namespace o8r {

// The window's values: reset by assigning a fresh value, so a new member is reset
// without anyone remembering to.
struct SessionState {
    // Programmer link: the count the last poll saw.
    std::int8_t lastDeviceCount = 0;

    // Target selection and ID code.
    std::string cataloguePath;
    std::string selectedMcu;
    std::uint32_t mapRegion1Start = 0;
    std::uint32_t mapRegion1End = 0;
    std::uint32_t mapRegion2Start = 0;
    std::uint32_t mapRegion2End = 0;
    IdCode idCode{};

    // Address range of Read and Blank Check.
    std::uint32_t rangeStart = 0;
    std::uint32_t rangeEnd = 0;
    std::uint16_t rangePageCount = 0;
    std::uint16_t currentPage = 0;
    std::string rangePrompt;

    // Erase selection. A plain int: a list of more than 127 blocks must not wrap.
    std::string eraseList;
    int eraseBlockCount = 0;

    // The file chosen last; the image remembers the file it was loaded from.
    std::string filePath;
};

struct SharedState {
    PageImage image;  // large: cleared by filling
    SessionState session;

    void Reset();
};

extern SharedState g_state;

// The names the window uses, bound to g_state.
inline auto& g_memImage = g_state.image.memImage;
inline auto& g_pageRecords = g_state.image.pageRecords;
inline auto& g_pageCount = g_state.image.pageCount;
inline auto& g_lastDeviceCount = g_state.session.lastDeviceCount;
inline auto& g_cataloguePath = g_state.session.cataloguePath;
inline auto& g_selectedMcu = g_state.session.selectedMcu;
inline auto& g_mapRegion1Start = g_state.session.mapRegion1Start;
inline auto& g_mapRegion1End = g_state.session.mapRegion1End;
inline auto& g_mapRegion2Start = g_state.session.mapRegion2Start;
inline auto& g_mapRegion2End = g_state.session.mapRegion2End;
inline auto& g_idCode = g_state.session.idCode;
inline auto& g_rangeStart = g_state.session.rangeStart;
inline auto& g_rangeEnd = g_state.session.rangeEnd;
inline auto& g_rangePageCount = g_state.session.rangePageCount;
inline auto& g_currentPage = g_state.session.currentPage;
inline auto& g_rangePrompt = g_state.session.rangePrompt;
inline auto& g_eraseList = g_state.session.eraseList;
inline auto& g_eraseBlockCount = g_state.session.eraseBlockCount;
inline auto& g_filePath = g_state.session.filePath;
inline auto& g_fileSize = g_state.image.lastLoad.size;
inline auto& g_fileTimeStamp = g_state.image.lastLoad.timeStamp;
inline auto& g_fileMap = g_state.image.lastLoad.map;

// Puts every global back to its start-up value (tests start each case from here).
void ResetSharedState();

// The memory map held in the four g_mapRegion globals, and setting them.
[[nodiscard]] MemoryMap CurrentMemoryMap();
void SetMemoryMap(const MemoryMap& map);

}  // namespace o8r
