#include "core/catalogue/Catalogue.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <system_error>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include "core/model/HexText.h"
#include "core/model/Messages.h"
#include "platform/Utf8Path.h"

namespace o8r {

namespace {

constexpr std::uint64_t kBoundLimit = kMemImageSize;  // no bound may pass the image's end

bool IsDecimalDigit(char c) {
    return c >= '0' && c <= '9';
}

bool IsHexDigit(char c) {
    return IsDecimalDigit(c) || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

// The number a standard text-to-integer conversion reads at the start of `text`:
// leading white space skipped, an optional sign, then decimal digits. Large values
// saturate instead of overflowing; nothing readable gives 0.
std::int64_t LeadingInteger(std::string_view text) {
    constexpr std::int64_t kSaturation = std::int64_t{1} << 40;
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r')))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    std::int64_t value = 0;
    for (; i < text.size() && IsDecimalDigit(text[i]); ++i) {
        value = std::min(kSaturation, value * 10 + (text[i] - '0'));
    }
    return negative ? -value : value;
}

// The kilobytes written before the first 'K' of `text`, in bytes; without a 'K'
// the number is read from the empty text. A negative count is no size at all.
std::uint64_t KilobytesBeforeK(std::string_view text) {
    std::size_t k = text.find('K');
    std::int64_t kb =
        LeadingInteger(k == std::string_view::npos ? std::string_view{} : text.substr(0, k));
    return kb > 0 ? static_cast<std::uint64_t>(kb) * 1024 : 0;
}

std::uint32_t Bound(std::uint64_t value) {
    return static_cast<std::uint32_t>(std::min(value, kBoundLimit));
}

std::size_t BlockColumn(std::size_t k) {
    return kFirstBlockColumn + k * kBlockEntryWidth;
}

// A block entry with its start address as written, which the erase dialog shows.
struct CutBlock {
    BlockEntry entry;
    std::string startText;
};

// The entries a record's count field announces that the line holds in full, with
// a readable start address.
std::vector<CutBlock> BlocksOfRecord(std::string_view line) {
    // An unreadable count announces no entry.
    const std::uint64_t count =
        ParseHex(CutField(line, kBlockCountColumn, kBlockCountWidth)).value_or(0);
    std::vector<CutBlock> blocks;
    for (std::uint64_t k = 0; k < count; ++k) {
        std::size_t column = BlockColumn(static_cast<std::size_t>(k));
        if (line.size() < column + kBlockStartOffset + kBlockStartWidth)
            break;
        std::string start = CutField(line, column + kBlockStartOffset, kBlockStartWidth);
        if (!std::all_of(start.begin(), start.end(), IsHexDigit))
            continue;
        BlockEntry entry{CutField(line, column + kBlockNameOffset, kBlockNameWidth),
                         CutField(line, column + kBlockSizeOffset, kBlockSizeWidth),
                         static_cast<std::uint32_t>(ParseHex(start).value_or(0))};
        blocks.push_back(CutBlock{std::move(entry), std::move(start)});
    }
    return blocks;
}

McuRecord RecordOf(std::string_view line) {
    McuRecord record{CutField(line, kGroupColumn, kNameWidth),
                     CutField(line, kSeriesColumn, kNameWidth),
                     CutField(line, kPartColumn, kNameWidth),
                     CutField(line, kMemorySizeColumn, kMemorySizeWidth),
                     {}};
    for (auto& block : BlocksOfRecord(line))
        record.blocks.push_back(std::move(block.entry));
    return record;
}

const std::string* FirstRecordOfPart(const std::vector<std::string>& lines,
                                     const std::string& part) {
    for (const auto& line : lines) {
        if (IsRecordLine(line) && CutField(line, kPartColumn, kNameWidth) == part)
            return &line;
    }
    return nullptr;
}

std::string_view TrimTrailingBlanks(std::string_view text) {
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

MemoryMap MemoryMapOfRecord(std::string_view line);

// What keeps a block entry of the record on line `number` from being used.
std::optional<std::string> RecordBlockProblem(std::string_view line, std::size_t number) {
    const std::uint64_t count =
        ParseHex(CutField(line, kBlockCountColumn, kBlockCountWidth)).value_or(0);
    const std::string where =
        "MCU file line " + std::to_string(number) + ": part " +
        std::string(TrimTrailingBlanks(CutField(line, kPartColumn, kNameWidth)));
    for (std::uint64_t k = 0; k < count; ++k) {
        const std::size_t column = BlockColumn(static_cast<std::size_t>(k));
        if (line.size() < column + kBlockStartOffset + kBlockStartWidth) {
            return where + " announces " + std::to_string(count) +
                   " block entries, the line holds " + std::to_string(k) + ".";
        }
        const std::string start = CutField(line, column + kBlockStartOffset, kBlockStartWidth);
        if (!std::all_of(start.begin(), start.end(), IsHexDigit)) {
            return where + " has a block entry with the bad start address \"" + start + "\".";
        }
    }
    return std::nullopt;
}

}  // namespace

std::string CutField(std::string_view line, std::size_t column, std::size_t width) {
    if (column >= line.size())
        return {};
    return std::string(line.substr(column, width));
}

bool IsRecordLine(std::string_view line) {
    return !line.empty() && line.front() == ':';
}

CatalogueRead ReadCatalogueFile(const std::string& path) {
    namespace fs = std::filesystem;
    CatalogueRead result;
    const fs::path file = PathFromUtf8(path);
    std::error_code error;
    // Only a regular file is opened: a FIFO would hold the program up, and a
    // device may never end.
    const fs::file_status status = fs::status(file, error);
    if (status.type() == fs::file_type::not_found || path.empty()) {
        result.error = CatalogueFileError::Missing;
        return result;
    }
    if (error) {
        result.error = CatalogueFileError::Unreadable;
        return result;
    }
    if (!fs::is_regular_file(status)) {
        result.error = CatalogueFileError::NotRegular;
        return result;
    }
    const std::uintmax_t size = fs::file_size(file, error);
    if (!error && size > kMaxCatalogueBytes) {
        result.error = CatalogueFileError::TooLarge;
        return result;
    }
    std::ifstream in(file, std::ios::binary);
    if (error || !in.is_open()) {
        result.error = CatalogueFileError::Unreadable;
        return result;
    }
    // The cap holds also for a file that grows while it is read.
    std::string bytes;
    char buffer[65536];
    while (in) {
        in.read(buffer, sizeof buffer);
        bytes.append(buffer, static_cast<std::size_t>(in.gcount()));
        if (bytes.size() > kMaxCatalogueBytes) {
            result.error = CatalogueFileError::TooLarge;
            return result;
        }
    }
    // A read that broke off (a device error) is no catalogue.
    if (in.bad()) {
        result.error = CatalogueFileError::Unreadable;
        return result;
    }
    std::size_t from = 0;
    while (from < bytes.size()) {
        std::size_t end = bytes.find('\n', from);
        if (end == std::string::npos)
            end = bytes.size();
        std::string line = bytes.substr(from, end - from);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        result.lines.push_back(std::move(line));
        from = end + 1;
    }
    return result;
}

std::string CatalogueFileProblem(CatalogueFileError error, const std::string& path) {
    switch (error) {
        case CatalogueFileError::None:
            return {};
        case CatalogueFileError::Missing:
            return text::kMcuFileMissing;
        case CatalogueFileError::NotRegular:
            return "The MCU file is not a regular file: " + path;
        case CatalogueFileError::TooLarge:
            return "The MCU file is too large (over " + std::to_string(kMaxCatalogueBytes >> 20) +
                   " MB): " + path;
        case CatalogueFileError::Unreadable:
            return "Can not read MCU file: " + path;
    }
    return {};
}

std::optional<std::vector<std::string>> ReadCatalogueLines(const std::string& path) {
    CatalogueRead file = ReadCatalogueFile(path);
    if (file.error != CatalogueFileError::None)
        return std::nullopt;
    return std::move(file.lines);
}

std::vector<McuTreeGroup> BuildMcuTree(const std::vector<std::string>& lines) {
    std::vector<McuTreeGroup> groups;
    std::string previousGroup;
    std::string previousSeries;
    for (const auto& line : lines) {
        if (!IsRecordLine(line))
            continue;
        std::string group = CutField(line, kGroupColumn, kNameWidth);
        if (group != previousGroup) {
            previousGroup = group;
            groups.push_back(McuTreeGroup{group, {}});
        }
        std::string series = CutField(line, kSeriesColumn, kNameWidth);
        if (series != previousSeries) {
            previousSeries = series;
            // An empty group field means a line too short to hold a series, so a
            // series never arrives before its first root.
            if (!groups.empty())
                groups.back().series.push_back(series);
        }
    }
    return groups;
}

TreeItemRows RowsForTreeItem(const std::vector<std::string>& lines, const std::string& itemText) {
    TreeItemRows result;
    for (const auto& line : lines) {
        if (!IsRecordLine(line))
            continue;
        if (CutField(line, kGroupColumn, kNameWidth) == itemText) {
            result.listEnabled = false;
            break;
        }
        if (CutField(line, kSeriesColumn, kNameWidth) == itemText) {
            result.listEnabled = true;
            result.rows.push_back(McuListRow{CutField(line, kPartColumn, kNameWidth),
                                             CutField(line, kMemorySizeColumn, kMemorySizeWidth)});
        }
    }
    return result;
}

std::optional<MemoryMap> MemoryMapForPart(const std::vector<std::string>& lines,
                                          const std::string& part) {
    const std::string* found = FirstRecordOfPart(lines, part);
    if (found == nullptr)
        return std::nullopt;
    return MemoryMapOfRecord(*found);
}

namespace {

MemoryMap MemoryMapOfRecord(std::string_view line) {
    std::string size = CutField(line, kMemorySizeColumn, kMemorySizeWidth);
    std::uint64_t programBytes = KilobytesBeforeK(size);

    // "48K+2K": the second size is the data flash, which starts at block entry 0.
    MemoryMap map;
    std::size_t plus = size.find('+');
    if (plus != std::string::npos && plus > 0) {
        std::uint64_t dataBytes = KilobytesBeforeK(std::string_view(size).substr(plus + 1));
        const std::optional<std::uint64_t> start =
            ParseHex(CutField(line, BlockColumn(0) + kBlockStartOffset, kBlockStartWidth));
        if (start) {  // unreadable: region 1 stays absent
            map.region1Start = Bound(*start);
            map.region1End = Bound(*start + dataBytes);
        }
    }

    // The program ROM starts at the first numbered block; with none it starts at 0.
    std::optional<std::uint64_t> programStart = 0;
    for (std::size_t k = 0; BlockColumn(k) + 1 < line.size(); ++k) {
        if (IsDecimalDigit(line[BlockColumn(k) + 1])) {
            programStart =
                ParseHex(CutField(line, BlockColumn(k) + kBlockStartOffset, kBlockStartWidth));
            break;
        }
    }
    if (!programStart) {
        // Unreadable: an empty region 2 right after region 1 keeps region 1 usable
        // and refuses everything above it.
        map.region2Start = map.region2End = map.region1Start == 0 ? 0 : map.region1End;
    } else {
        map.region2Start = Bound(*programStart);
        map.region2End = Bound(*programStart + programBytes);
    }
    return map;
}

}  // namespace

std::vector<EraseBlockRow> EraseBlocksForPart(const std::vector<std::string>& lines,
                                              const std::string& part) {
    std::vector<EraseBlockRow> rows;
    const std::string* found = FirstRecordOfPart(lines, part);
    if (found == nullptr)
        return rows;
    for (const auto& block : BlocksOfRecord(*found)) {
        std::string_view name = block.entry.name;
        if (name.size() == 2 && name.front() == '0')
            name.remove_prefix(1);
        rows.push_back(EraseBlockRow{"Block " + std::string(name), block.entry.size,
                                     "  0x" + block.startText});
    }
    return rows;
}

std::vector<McuListingGroup> BuildMcuListing(const std::vector<std::string>& lines) {
    // One pass gathers what RowsForTreeItem and MemoryMapForPart would find
    // for each item by scanning the file again.
    constexpr std::size_t kNone = static_cast<std::size_t>(-1);
    std::unordered_map<std::string, std::size_t> firstGroupRecord;
    std::unordered_map<std::string, std::size_t> firstPartLine;
    std::unordered_map<std::string, std::vector<std::size_t>> seriesLines;
    std::vector<std::size_t> recordLines;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (!IsRecordLine(lines[i]))
            continue;
        const std::size_t record = recordLines.size();
        recordLines.push_back(i);
        firstGroupRecord.emplace(CutField(lines[i], kGroupColumn, kNameWidth), record);
        firstPartLine.emplace(CutField(lines[i], kPartColumn, kNameWidth), i);
        seriesLines[CutField(lines[i], kSeriesColumn, kNameWidth)].push_back(record);
    }

    std::vector<McuListingGroup> listing;
    std::unordered_set<std::string> listed;
    for (McuTreeGroup& group : BuildMcuTree(lines)) {
        McuListingGroup out{std::move(group.text), {}};
        for (std::string& text : group.series) {
            McuListingSeries series{text, !listed.insert(text).second, {}};
            if (!series.listedAbove) {
                // Selecting the item lists the series' parts up to the first
                // record of a group of the same name.
                const auto stop = firstGroupRecord.find(text);
                const std::size_t stopAt = stop == firstGroupRecord.end() ? kNone : stop->second;
                for (std::size_t record : seriesLines[text]) {
                    if (record >= stopAt)
                        break;
                    const std::string& line = lines[recordLines[record]];
                    McuListingPart part{{CutField(line, kPartColumn, kNameWidth),
                                         CutField(line, kMemorySizeColumn, kMemorySizeWidth)},
                                        std::nullopt};
                    part.map = MemoryMapOfRecord(lines[firstPartLine.at(part.row.part)]);
                    series.parts.push_back(std::move(part));
                }
            }
            out.series.push_back(std::move(series));
        }
        listing.push_back(std::move(out));
    }
    return listing;
}

std::optional<std::string> BlockEntryProblem(const std::vector<std::string>& lines,
                                             const std::string& part) {
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (IsRecordLine(lines[i]) && CutField(lines[i], kPartColumn, kNameWidth) == part)
            return RecordBlockProblem(lines[i], i + 1);
    }
    return std::nullopt;
}

std::vector<std::string> BlockEntryProblems(const std::vector<std::string>& lines) {
    std::vector<std::string> problems;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (!IsRecordLine(lines[i]))
            continue;
        if (auto problem = RecordBlockProblem(lines[i], i + 1))
            problems.push_back(std::move(*problem));
    }
    return problems;
}

std::vector<McuRecord> CatalogueRecords(const std::vector<std::string>& lines) {
    std::vector<McuRecord> records;
    for (const auto& line : lines) {
        if (IsRecordLine(line))
            records.push_back(RecordOf(line));
    }
    return records;
}

std::optional<McuRecord> FindPartLoosely(const std::vector<std::string>& lines,
                                         std::string_view name) {
    std::string_view wanted = TrimTrailingBlanks(name);
    if (wanted.empty())
        return std::nullopt;
    for (const auto& line : lines) {
        if (!IsRecordLine(line))
            continue;
        std::string part = CutField(line, kPartColumn, kNameWidth);
        if (TrimTrailingBlanks(part) == wanted)
            return RecordOf(line);
    }
    return std::nullopt;
}

std::optional<std::uint32_t> BlockSizeBytes(std::string_view sizeText) {
    std::size_t first = sizeText.find_first_not_of(' ');
    if (first == std::string_view::npos)
        return std::nullopt;
    std::string_view text = sizeText.substr(first, sizeText.find_last_not_of(' ') + 1 - first);
    if (text.back() != 'K')
        return std::nullopt;
    std::string_view digits = text.substr(0, text.size() - 1);
    if (digits.empty() || digits.size() > 6 ||
        !std::all_of(digits.begin(), digits.end(), IsDecimalDigit)) {
        return std::nullopt;
    }
    std::uint32_t kb = 0;
    for (char c : digits)
        kb = kb * 10 + static_cast<std::uint32_t>(c - '0');
    return kb * 1024;
}

}  // namespace o8r
