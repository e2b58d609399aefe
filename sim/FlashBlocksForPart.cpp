#include "core/catalogue/Catalogue.h"
#include "sim/SimOptions.h"
#include "sim/SimTarget.h"

namespace o8r {

std::vector<FlashBlock> FlashBlocksForPart(const McuRecord& record) {
    std::vector<FlashBlock> blocks;
    for (const BlockEntry& entry : record.blocks) {
        std::optional<std::uint32_t> size = BlockSizeBytes(entry.size);
        if (!size)
            continue;
        blocks.push_back(FlashBlock{entry.start, *size});
    }
    return SaneFlashBlocks(std::move(blocks));
}

}  // namespace o8r
