// Any bytes as MCUType.mcu: every reading of the catalogue must cope, and no
// memory map may reach past the 1 MB image the loader writes into.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/catalogue/Catalogue.h"
#include "fuzz/FuzzRequire.h"

namespace {

using namespace o8r;
using fuzz::Require;

// Lines as the catalogue reader splits them: LF ends a line, a CR before it goes.
std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t end = text.find('\n', at);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(at, end - at);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(std::move(line));
        at = end + 1;
    }
    return lines;
}

void CheckMap(const MemoryMap& map) {
    Require(map.region1Start <= kMemImageSize && map.region1End <= kMemImageSize &&
                map.region2Start <= kMemImageSize && map.region2End <= kMemImageSize,
            "memory map inside the image");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::string> lines =
        SplitLines(std::string(reinterpret_cast<const char*>(data), size));

    for (const McuTreeGroup& group : BuildMcuTree(lines)) {
        (void)RowsForTreeItem(lines, group.text);
        for (const std::string& series : group.series) {
            for (const McuListRow& row : RowsForTreeItem(lines, series).rows) {
                if (auto map = MemoryMapForPart(lines, row.part))
                    CheckMap(*map);
                (void)EraseBlocksForPart(lines, row.part);
            }
        }
    }
    for (const McuListingGroup& group : BuildMcuListing(lines)) {
        for (const McuListingSeries& series : group.series) {
            for (const McuListingPart& part : series.parts) {
                Require(part.map.has_value(), "a listed part has a map");
                CheckMap(*part.map);
            }
        }
    }
    (void)BlockEntryProblems(lines);
    for (const McuRecord& record : CatalogueRecords(lines)) {
        if (auto map = MemoryMapForPart(lines, record.part))
            CheckMap(*map);
        (void)BlockEntryProblem(lines, record.part);
        (void)FindPartLoosely(lines, record.part);
        for (const BlockEntry& block : record.blocks)
            (void)BlockSizeBytes(block.size);
    }
    if (!lines.empty()) {
        (void)FindPartLoosely(lines, lines.front());
        (void)CutField(lines.front(), 1, 10);
    }
    return 0;
}
