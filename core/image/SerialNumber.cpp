#include "core/image/SerialNumber.h"

#include <algorithm>
#include <cstring>
#include <set>

#include "core/image/ImageBuilder.h"
#include "core/model/HexText.h"

namespace o8r {

namespace {

constexpr std::string_view kFormatNames[] = {"le", "be", "bcd", "dec", "hex"};

// The largest length each format can hold a 64-bit number in.
int MaxLength(SerialFormat format) {
    switch (format) {
        case SerialFormat::LittleEndian:
        case SerialFormat::BigEndian:
            return 8;
        case SerialFormat::Bcd:
            return 10;
        case SerialFormat::Decimal:
            return 20;
        case SerialFormat::Hex:
            return 16;
    }
    return 0;
}

std::string Hex(std::uint32_t value) {
    return HexDigitsText(value, 5);
}

// The digits of `value` in `base`, highest first, `count` of them; false
// when the value needs more.
bool Digits(std::uint64_t value, unsigned base, int count, std::vector<int>& digits) {
    digits.assign(static_cast<std::size_t>(count), 0);
    for (int i = count - 1; i >= 0; --i) {
        digits[static_cast<std::size_t>(i)] = static_cast<int>(value % base);
        value /= base;
    }
    return value == 0;
}

std::set<std::uint32_t> ImagePages(const PageImage& image) {
    std::set<std::uint32_t> pages;
    for (std::size_t i = 0; i < image.RecordCount(); ++i)
        pages.insert(PageRecordNumber(image.pageRecords[i]));
    return pages;
}

}  // namespace

std::string_view SerialFormatName(SerialFormat format) {
    return kFormatNames[static_cast<int>(format)];
}

std::optional<SerialPlacement> ParseSerialPlacement(std::string_view text, std::string& error) {
    const auto fail = [&](const std::string& why) {
        error = "expected ADDR:LEN[:FORMAT] (such as 0FFE0:4:le), " + why;
        return std::nullopt;
    };
    const std::size_t colon = text.find(':');
    if (colon == std::string_view::npos)
        return fail("not " + std::string(text));
    const std::string_view address = text.substr(0, colon);
    std::string_view rest = text.substr(colon + 1);
    const std::size_t second = rest.find(':');
    const std::string_view length = rest.substr(0, second);
    const std::string_view format =
        second == std::string_view::npos ? std::string_view("le") : rest.substr(second + 1);
    SerialPlacement placement;
    const auto parsed = ParseHex(address);
    if (address.empty() || address.size() > 5 || !parsed)
        return fail("ADDR being 1 to 5 hexadecimal digits, not " + std::string(address));
    placement.address = static_cast<std::uint32_t>(*parsed);
    bool found = false;
    for (int i = 0; i < 5; ++i) {
        if (format == kFormatNames[i]) {
            placement.format = static_cast<SerialFormat>(i);
            found = true;
        }
    }
    if (!found)
        return fail("FORMAT being le, be, bcd, dec or hex, not " + std::string(format));
    const int most = MaxLength(placement.format);
    if (length.empty() || length.size() > 2 ||
        length.find_first_not_of("0123456789") != std::string_view::npos ||
        std::stoi(std::string(length)) < 1 || std::stoi(std::string(length)) > most)
        return fail("LEN being 1 to " + std::to_string(most) + " bytes for " + std::string(format) +
                    ", not " + std::string(length));
    placement.length = std::stoi(std::string(length));
    return placement;
}

std::string SerialPlacementText(const SerialPlacement& placement) {
    return Hex(placement.address) + ":" + std::to_string(placement.length) + ":" +
           std::string(SerialFormatName(placement.format));
}

std::optional<std::uint64_t> ParseSerialValue(std::string_view text) {
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        const std::string_view digits = text.substr(2);
        if (digits.size() > 16)
            return std::nullopt;
        return ParseHex(digits);
    }
    if (text.empty() || text.size() > 20 ||
        text.find_first_not_of("0123456789") != std::string_view::npos)
        return std::nullopt;
    std::uint64_t value = 0;
    for (const char c : text) {
        const auto digit = static_cast<std::uint64_t>(c - '0');
        if (value > (UINT64_MAX - digit) / 10)
            return std::nullopt;
        value = value * 10 + digit;
    }
    return value;
}

std::optional<SerialPatch> MakeSerialPatch(const SerialPlacement& placement, std::uint64_t value,
                                           std::string& error) {
    SerialPatch patch{placement, value, {}};
    const auto count = placement.length;
    std::vector<int> digits;
    bool fits = true;
    switch (placement.format) {
        case SerialFormat::LittleEndian:
        case SerialFormat::BigEndian:
            fits = Digits(value, 256, count, digits);
            if (placement.format == SerialFormat::LittleEndian)
                std::reverse(digits.begin(), digits.end());
            for (const int byte : digits)
                patch.bytes.push_back(static_cast<std::uint8_t>(byte));
            break;
        case SerialFormat::Bcd:
            fits = Digits(value, 10, count * 2, digits);
            for (std::size_t i = 0; i < digits.size(); i += 2)
                patch.bytes.push_back(static_cast<std::uint8_t>(digits[i] << 4 | digits[i + 1]));
            break;
        case SerialFormat::Decimal:
        case SerialFormat::Hex:
            fits = Digits(value, placement.format == SerialFormat::Hex ? 16 : 10, count, digits);
            for (const int digit : digits)
                patch.bytes.push_back(static_cast<std::uint8_t>("0123456789ABCDEF"[digit]));
            break;
    }
    if (!fits) {
        error = "the serial number " + std::to_string(value) + " does not fit in " +
                std::to_string(count) + " byte" + (count == 1 ? "" : "s") + " as " +
                std::string(SerialFormatName(placement.format));
        return std::nullopt;
    }
    return patch;
}

std::optional<std::string> SerialPlacementProblem(const SerialPlacement& placement,
                                                  const MemoryMap& map) {
    const std::uint32_t last = placement.address + static_cast<std::uint32_t>(placement.length) - 1;
    for (std::uint32_t a = placement.address; a <= last; ++a) {
        if (a < kMapFreeLimit || !InMemoryMap(map, a))
            return "the serial number at " + Hex(placement.address) + "-" + Hex(last) +
                   " lies outside the part's flash memory (byte " + Hex(a) + ")";
    }
    return std::nullopt;
}

SerialPlace LocateSerial(const PageImage& image, const SerialPlacement& placement) {
    SerialPlace place;
    const std::set<std::uint32_t> pages = ImagePages(image);
    for (int i = 0; i < placement.length; ++i) {
        const std::uint32_t a = placement.address + static_cast<std::uint32_t>(i);
        const std::uint32_t page = a / kPageSize;
        if (a >= kMemImageSize)
            break;
        if (pages.count(page) == 0) {
            if (place.pagesAdded.empty() || place.pagesAdded.back() != page * kPageSize)
                place.pagesAdded.push_back(page * kPageSize);
        } else if (!place.firstDataByte && image.memImage[a] != 0xFF) {
            place.firstDataByte = a;
        }
    }
    return place;
}

std::optional<std::string> PlaceSerial(PageImage& image, const MemoryMap& map,
                                       const SerialPatch& patch) {
    const SerialPlacement& placement = patch.placement;
    if (auto problem = SerialPlacementProblem(placement, map))
        return problem;
    const SerialPlace place = LocateSerial(image, placement);
    if (place.firstDataByte && !placement.overwrite)
        return "the serial number at " + Hex(placement.address) +
               " would overwrite the image's data at " + Hex(*place.firstDataByte) +
               " (allow it with --serial-overwrite, or overwrite = true in a job)";
    std::set<std::uint32_t> pages = ImagePages(image);
    for (const std::uint32_t added : place.pagesAdded)
        pages.insert(added / kPageSize);
    if (pages.size() > kMaxPageRecords)
        return "the serial number's page would make the image larger than " +
               std::to_string(kMaxPageRecords) + " pages";
    std::memcpy(image.memImage.data() + placement.address, patch.bytes.data(), patch.bytes.size());
    std::size_t index = 0;
    for (const std::uint32_t page : pages) {
        image.pageRecords[index++] = MakePageRecord(image, page);
    }
    image.pageCount = static_cast<std::uint16_t>(index);
    image.lastLoad.path.clear();
    return std::nullopt;
}

}  // namespace o8r
