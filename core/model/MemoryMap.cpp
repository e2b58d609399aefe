#include "core/model/MemoryMap.h"

namespace o8r {

bool InMemoryMap(const MemoryMap& map, std::uint32_t a) {
    if (map.region1Start == 0) {
        return map.region2Start <= a && a < map.region2End;
    }
    if (a < map.region1Start || a >= map.region2End)
        return false;
    return !(map.region1End <= a && a < map.region2Start);
}

}  // namespace o8r
