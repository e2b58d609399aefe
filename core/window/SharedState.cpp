#include "core/window/SharedState.h"

namespace o8r {

SharedState g_state;

void SharedState::Reset() {
    image.memImage.fill(0);
    for (auto& record : image.pageRecords)
        record.fill(0);
    image.pageCount = 0;
    image.lastLoad = LastLoad{};
    session = SessionState{};
}

void ResetSharedState() {
    g_state.Reset();
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

}  // namespace o8r
