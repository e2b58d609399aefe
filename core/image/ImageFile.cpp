#include "core/image/ImageFile.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <istream>
#include <utility>

#include "core/image/IntelHexLoader.h"
#include "core/image/SRecordLoader.h"
#include "core/image/SRecordWriter.h"
#include "core/model/Messages.h"

namespace o8r {

const char* ImageFormatName(ImageFormat format) {
    switch (format) {
        case ImageFormat::IntelHex:
            return "Intel HEX";
        case ImageFormat::Binary:
            return "binary";
        case ImageFormat::SRecord:
            break;
    }
    return "S-records";
}

ImageFormat DetectImageFormat(std::istream& in) {
    const std::streampos at = in.tellg();
    ImageFormat format = ImageFormat::SRecord;
    for (int c = in.get(); c != std::char_traits<char>::eof(); c = in.get()) {
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n')
            continue;
        format = c == 'S'   ? ImageFormat::SRecord
                 : c == ':' ? ImageFormat::IntelHex
                            : ImageFormat::Binary;
        break;
    }
    in.clear();
    in.seekg(at);
    return format;
}

std::uint32_t DefaultBinaryBase(const MemoryMap& map) {
    return map.region2Start;
}

ImageLoadResult LoadBinaryImage(PageImage& image, std::istream& in, std::uint64_t fileSize,
                                std::uint32_t base, const MemoryMap& map,
                                const std::function<void(int)>& progress) {
    ImageBuilder builder(image, map, fileSize, progress);
    // A page at a time, so that a refusal names the place closely.
    std::array<char, kPageSize> chunk{};
    for (std::uint64_t offset = 0;; offset += chunk.size()) {
        in.read(chunk.data(), chunk.size());
        const auto got = static_cast<std::size_t>(in.gcount());
        if (in.bad())
            return RefuseLoad(kCanNotReadFile);
        const std::string where = "Offset 0x" + HexDigitsText(offset, 1);
        for (std::size_t i = 0; i < got; ++i) {
            if (!ImageAddressAccepted(map, base + offset + i)) {
                return RefuseLoadAt(text::kLoadAddressOutOfMap,
                                    "Offset 0x" + HexDigitsText(offset + i, 1),
                                    "address " + HexDigitsText(base + offset + i, 5));
            }
        }
        if (ImageLoadResult refusal;
            !builder.Place(base + offset, reinterpret_cast<const std::uint8_t*>(chunk.data()), got,
                           where, refusal)) {
            return refusal;
        }
        if (got < chunk.size())
            break;
    }
    return builder.Finish();
}

ImageLoadResult LoadAnyImage(PageImage& image, std::istream& in, std::uint64_t fileSize,
                             std::uint32_t base, const MemoryMap& map,
                             const std::function<void(int)>& progress) {
    image.format = DetectImageFormat(in);
    switch (image.format) {
        case ImageFormat::IntelHex:
            return LoadIntelHexImage(image, in, fileSize, map, progress);
        case ImageFormat::Binary:
            return LoadBinaryImage(image, in, fileSize, base, map, progress);
        case ImageFormat::SRecord:
            break;
    }
    return LoadSRecordImage(image, in, fileSize, map, progress);
}

namespace {

constexpr char kDigits[] = "0123456789ABCDEF";

void AppendHexRecord(std::string& out, std::uint8_t type, std::uint16_t offset,
                     const std::uint8_t* data, std::size_t length) {
    const std::uint8_t head[] = {static_cast<std::uint8_t>(length),
                                 static_cast<std::uint8_t>(offset >> 8),
                                 static_cast<std::uint8_t>(offset), type};
    unsigned sum = 0;
    out += ':';
    const auto append = [&](std::uint8_t byte) {
        out += kDigits[byte >> 4];
        out += kDigits[byte & 0x0F];
        sum += byte;
    };
    for (std::uint8_t byte : head)
        append(byte);
    for (std::size_t i = 0; i < length; ++i)
        append(data[i]);
    append(static_cast<std::uint8_t>(0x100 - (sum & 0xFF)));
    out += "\r\n";
}

}  // namespace

std::string BuildIntelHexFile(std::uint32_t rangeStart, std::span<const std::uint8_t> data) {
    std::string out;
    if (data.empty())
        return out;
    out.reserve((data.size() / 16 + 4) * 45);
    std::uint32_t segment = 0xFFFFFFFF;
    std::size_t i = 0;
    while (i < data.size()) {
        const std::uint32_t address = rangeStart + static_cast<std::uint32_t>(i);
        if (address >> 16 != segment) {
            segment = address >> 16;
            const std::uint8_t upper[] = {static_cast<std::uint8_t>(segment >> 8),
                                          static_cast<std::uint8_t>(segment)};
            AppendHexRecord(out, 0x04, 0, upper, 2);
        }
        // Rows as the S-record writer makes them, never across a segment.
        const std::size_t length = std::min<std::size_t>(16 - (address & 0xF), data.size() - i);
        AppendHexRecord(out, 0x00, static_cast<std::uint16_t>(address), data.data() + i, length);
        i += length;
    }
    AppendHexRecord(out, 0x01, 0, nullptr, 0);
    return out;
}

std::string BuildImageFile(ImageFormat format, std::uint32_t rangeStart,
                           std::span<const std::uint8_t> data) {
    switch (format) {
        case ImageFormat::IntelHex:
            return BuildIntelHexFile(rangeStart, data);
        case ImageFormat::Binary:
            return std::string(data.begin(), data.end());
        case ImageFormat::SRecord:
            break;
    }
    return BuildSRecordFile(rangeStart, data);
}

ImageFormat SaveFormatFor(const std::string& path) {
    const auto dot = path.find_last_of("./\\");
    if (dot == std::string::npos || path[dot] != '.')
        return ImageFormat::SRecord;
    std::string extension = path.substr(dot + 1);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (extension == "hex" || extension == "ihex")
        return ImageFormat::IntelHex;
    if (extension == "bin")
        return ImageFormat::Binary;
    return ImageFormat::SRecord;
}

std::optional<IdCode> ImageIdCode(const PageImage& image) {
    IdCode code{};
    bool erased = true;
    for (std::size_t i = 0; i < code.size(); ++i) {
        code[i] = image.memImage[kIdCodeAddresses[i]];
        erased = erased && code[i] == 0xFF;
    }
    if (erased)
        return std::nullopt;
    return code;
}

namespace {

constexpr std::pair<ImageFormat, const char*> kShortNames[] = {
    {ImageFormat::SRecord, "srec"}, {ImageFormat::IntelHex, "ihex"}, {ImageFormat::Binary, "bin"}};

}  // namespace

std::string IdCodeText(const IdCode& code) {
    std::string text;
    for (const std::uint8_t byte : code)
        text += HexDigitsText(byte, 2);
    return text;
}

std::optional<ImageFormat> ImageFormatFromName(const std::string& name) {
    for (const auto& [format, shortName] : kShortNames) {
        if (name == shortName)
            return format;
    }
    return std::nullopt;
}

const char* ImageFormatShortName(ImageFormat format) {
    for (const auto& [known, shortName] : kShortNames) {
        if (known == format)
            return shortName;
    }
    return "srec";
}

}  // namespace o8r
