// Any bytes as an Intel HEX file: the reader must refuse or load without
// reading or writing outside its buffers, and what it loads must be coherent.
// A slice of the input also goes through the writer and back.

#include <cstdint>
#include <cstring>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "core/image/ImageFile.h"
#include "core/image/IntelHexLoader.h"
#include "fuzz/FuzzRequire.h"
#include "fuzz/ImageChecks.h"

namespace {

using namespace o8r;
using fuzz::Require;

const MemoryMap kMaps[] = {
    {0, 0, 0x4000, 0x24000},
    {0x2400, 0x2C00, 0x4000, 0x14000},
    {0, 0, 0x200, 0xFFFFFFFF},
};

void CheckLoad(const std::string& text, const MemoryMap& map) {
    std::istringstream in(text);
    PageImage& image = fuzz::SharedImage();
    const ImageLoadResult result = LoadIntelHexImage(image, in, text.size(), map, {});
    if (!result.ok) {
        Require(!result.message.text.empty(), "a refusal says why");
        return;
    }
    fuzz::RequireCoherentPages(image, map);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    CheckLoad(std::string(reinterpret_cast<const char*>(data), size), kMaps[size % 3]);
    fuzz::RequireRoundTrip(data, size, fuzz::SharedImage(), BuildIntelHexFile, LoadIntelHexImage);
    return 0;
}
