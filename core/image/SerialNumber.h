#pragma once

// A number of its own written into each board's image: where it goes, how it
// is spelt in bytes, and its place in the image before the page records are
// made, so that the box's page check and a verify cover it like any other byte.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/image/PageImage.h"
#include "core/model/MemoryMap.h"

namespace o8r {

// How the number is spelt in its bytes.
enum class SerialFormat {
    LittleEndian,  // le: binary, lowest byte first
    BigEndian,     // be: binary, highest byte first
    Bcd,           // bcd: two decimal digits a byte, highest first
    Decimal,       // dec: ASCII decimal digits, zero-padded
    Hex,           // hex: ASCII hexadecimal digits (upper case), zero-padded
};

struct SerialPlacement {
    std::uint32_t address = 0;
    int length = 4;  // bytes
    SerialFormat format = SerialFormat::LittleEndian;
    bool overwrite = false;  // may go over data the image file holds
};

// The number for one board, in its bytes.
struct SerialPatch {
    SerialPlacement placement;
    std::uint64_t value = 0;
    std::vector<std::uint8_t> bytes;
};

// "le", "be", "bcd", "dec", "hex".
[[nodiscard]] std::string_view SerialFormatName(SerialFormat format);
// "ADDR:LEN[:FORMAT]", ADDR hexadecimal, LEN decimal; nothing with the reason.
[[nodiscard]] std::optional<SerialPlacement> ParseSerialPlacement(std::string_view text,
                                                                  std::string& error);
// "0FFE0:4:le": the placement as ParseSerialPlacement reads it.
[[nodiscard]] std::string SerialPlacementText(const SerialPlacement& placement);
// A serial value as lists and counters spell it: decimal, or hexadecimal after 0x.
[[nodiscard]] std::optional<std::uint64_t> ParseSerialValue(std::string_view text);

// The value in the placement's bytes; nothing when it does not fit them.
[[nodiscard]] std::optional<SerialPatch> MakeSerialPatch(const SerialPlacement& placement,
                                                         std::uint64_t value, std::string& error);

// Why the placement cannot be written into an image for a part with `map`
// (outside its flash, or below where page records begin); nothing when it can.
[[nodiscard]] std::optional<std::string> SerialPlacementProblem(const SerialPlacement& placement,
                                                                const MemoryMap& map);

// Where the number would go in this image: its pages, and whether it lies
// over data the file holds (bytes other than 0xFF in a page of the image).
struct SerialPlace {
    std::vector<std::uint32_t> pagesAdded;  // page addresses the image lacks
    std::optional<std::uint32_t> firstDataByte;
};
[[nodiscard]] SerialPlace LocateSerial(const PageImage& image, const SerialPlacement& placement);

// Writes the number into the loaded image and makes its page records again;
// a page the image lacks is added, the rest of it 0xFF. Nothing on success,
// else why not (the image untouched). The image no longer stands for its file
// alone: the next load reads the file again.
[[nodiscard]] std::optional<std::string> PlaceSerial(PageImage& image, const MemoryMap& map,
                                                     const SerialPatch& patch);

}  // namespace o8r
