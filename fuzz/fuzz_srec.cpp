// Any bytes as an S-record file: the loader must refuse or load without
// reading or writing outside its buffers, and what it loads must be coherent.
// A slice of the input also goes through the writer and back.

#include <cstdint>
#include <cstring>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "core/image/SRecordLoader.h"
#include "core/image/SRecordWriter.h"
#include "fuzz/FuzzRequire.h"
#include "fuzz/ImageChecks.h"

namespace {

using namespace o8r;
using fuzz::Require;

const MemoryMap kMaps[] = {
    {0, 0, 0x4000, 0x24000},            // program ROM only
    {0x2400, 0x2C00, 0x4000, 0x14000},  // data flash and program ROM
    {0, 0, 0xFE000, 0x100000},          // the box's own loader
    {0, 0, 0x200, 0xFFFFFFFF},          // a map larger than the image
};

void CheckLoad(const std::string& text, const MemoryMap& map) {
    std::istringstream in(text);
    int lastProgress = 0;
    PageImage& image = fuzz::SharedImage();
    const SRecordLoadResult result =
        LoadSRecordImage(image, in, text.size(), map, [&](int percent) {
            Require(percent >= lastProgress && percent <= 100, "progress in 0..100, never back");
            lastProgress = percent;
        });
    if (!result.ok) {
        Require(!result.message.text.empty() && result.message.caption == "ERROR",
                "a refusal says why");
        return;
    }
    fuzz::RequireCoherentPages(image, map);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    CheckLoad(text, kMaps[size % 4]);
    fuzz::RequireRoundTrip(data, size, fuzz::SharedImage(), BuildSRecordFile, LoadSRecordImage);
    return 0;
}
