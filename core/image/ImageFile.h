#pragma once

// Any image file the programs take: Motorola S-records, Intel HEX or raw
// binary, told apart by their content alone, never by the file's name.

#include <array>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <optional>
#include <span>
#include <string>

#include "core/image/ImageBuilder.h"

namespace o8r {

// "S-records", "Intel HEX", "binary".
[[nodiscard]] const char* ImageFormatName(ImageFormat format);

// From the first byte that is not a blank or a line end: 'S' (or nothing at
// all) S-records, ':' Intel HEX, anything else binary. The stream is left
// where it was.
[[nodiscard]] ImageFormat DetectImageFormat(std::istream& in);

// The program-ROM address a binary loads at when none is given.
[[nodiscard]] std::uint32_t DefaultBinaryBase(const MemoryMap& map);

// Every byte of the stream from `base` on, under the S-record rules.
ImageLoadResult LoadBinaryImage(PageImage& image, std::istream& in, std::uint64_t fileSize,
                                std::uint32_t base, const MemoryMap& map,
                                const std::function<void(int)>& progress);

// The reader the content calls for; `base` is used for binary only. The
// format is kept in the image.
ImageLoadResult LoadAnyImage(PageImage& image, std::istream& in, std::uint64_t fileSize,
                             std::uint32_t base, const MemoryMap& map,
                             const std::function<void(int)>& progress);

// Read-back data as an Intel HEX file: an 04 record for each 64 KB segment,
// 16 data bytes a record, CR LF line ends, an 01 end record.
[[nodiscard]] std::string BuildIntelHexFile(std::uint32_t rangeStart,
                                            std::span<const std::uint8_t> data);

// The file's content for read-back data in `format`.
[[nodiscard]] std::string BuildImageFile(ImageFormat format, std::uint32_t rangeStart,
                                         std::span<const std::uint8_t> data);

// The format a save path's extension names (case ignored): .hex and .ihex
// Intel HEX, .bin binary, anything else S-records.
[[nodiscard]] ImageFormat SaveFormatFor(const std::string& path);

// Where the part keeps the seven ID code bytes; the code's first byte pairs
// with 0FFDF.
inline constexpr std::array<std::uint32_t, kIdCodeSize> kIdCodeAddresses = {
    0xFFDF, 0xFFE3, 0xFFEB, 0xFFEF, 0xFFF3, 0xFFF7, 0xFFFB};

// The ID code an image puts into the part, when its ID bytes are not all FF:
// programming it protects the part with that code.
[[nodiscard]] std::optional<IdCode> ImageIdCode(const PageImage& image);
// 14 upper-case hexadecimal digits, as --id takes them.
[[nodiscard]] std::string IdCodeText(const IdCode& code);

// "srec", "ihex" or "bin" as a command line names them, and back.
[[nodiscard]] std::optional<ImageFormat> ImageFormatFromName(const std::string& name);
[[nodiscard]] const char* ImageFormatShortName(ImageFormat format);

}  // namespace o8r
