#pragma once

// MCUType.mcu: the catalogue of target parts, one fixed-column record per line.
//
//   column 0       ':' marks a record; any other line is a comment
//   columns 1-10   group name        11-20  series name      21-30  part name
//   columns 31-38  memory size ("48K", "64K+2K")
//   columns 39-40  number of block entries, two hexadecimal digits
//   column 42 on   block entries of 14 columns: name (2), blank, size (4), blank,
//                  start address (5 hexadecimal digits), blank
//
// Fields are cut by position and compared byte for byte, blanks included. The
// file is small and reread for every use, so these are pure functions over its
// lines; reading the lines is the only I/O.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/model/MemoryMap.h"

namespace o8r {

// The MCU tree's groups and the property list's rows.
struct McuTreeGroup {
    std::string text;                 // group name as cut from the catalogue
    std::vector<std::string> series;  // child items, in file order
};

struct McuListRow {
    std::string part;        // column 0, full 10-character part name
    std::string memorySize;  // column 1
};

// One row of the erase dialog's block list, as its three columns read.
struct EraseBlockRow {
    std::string block;    // "Block 0", "Block A", "Block 12"
    std::string size;     // the 4-character size field, unchanged
    std::string address;  // "  0x" followed by the 5 address digits
};

// Column positions and widths of a record.
constexpr std::size_t kGroupColumn = 1;
constexpr std::size_t kSeriesColumn = 11;
constexpr std::size_t kPartColumn = 21;
constexpr std::size_t kNameWidth = 10;
constexpr std::size_t kMemorySizeColumn = 31;
constexpr std::size_t kMemorySizeWidth = 8;
constexpr std::size_t kBlockCountColumn = 39;
constexpr std::size_t kBlockCountWidth = 2;
constexpr std::size_t kFirstBlockColumn = 42;
constexpr std::size_t kBlockEntryWidth = 14;
// Offsets within a block entry.
constexpr std::size_t kBlockNameOffset = 0;
constexpr std::size_t kBlockNameWidth = 2;
constexpr std::size_t kBlockSizeOffset = 3;
constexpr std::size_t kBlockSizeWidth = 4;
constexpr std::size_t kBlockStartOffset = 8;
constexpr std::size_t kBlockStartWidth = 5;

// Field cut: characters from `column` on, at most `width`, only as far as the line reaches.
std::string CutField(std::string_view line, std::size_t column, std::size_t width);
bool IsRecordLine(std::string_view line);  // first character ':'

// The largest catalogue read: far above any real one, small enough that a
// wrong file (a disk image, /dev/zero) is refused at once.
constexpr std::uint64_t kMaxCatalogueBytes = 4u << 20;

enum class CatalogueFileError { None, Missing, NotRegular, TooLarge, Unreadable };

struct CatalogueRead {
    CatalogueFileError error = CatalogueFileError::None;
    std::vector<std::string> lines;  // every line, CR LF or LF removed
};

// Reads the catalogue at `path`, only when it is a regular file (a link counts
// as the file it leads to) of at most kMaxCatalogueBytes.
CatalogueRead ReadCatalogueFile(const std::string& path);

// The message for a catalogue that was not read: "Can not find MCU file!" when
// there is none, otherwise what is wrong with the file that is there ("The MCU
// file is not a regular file: /dev/zero"). Empty for None.
std::string CatalogueFileProblem(CatalogueFileError error, const std::string& path);

// Every line of the file, CR LF or LF removed; nullopt when ReadCatalogueFile
// reads none.
std::optional<std::vector<std::string>> ReadCatalogueLines(const std::string& path);

// The MCU tree: one root per run of records with the same group, one child per
// run of records with the same series. The series run is not broken by a new
// group, so a series that continues under a new group adds no child there.
std::vector<McuTreeGroup> BuildMcuTree(const std::vector<std::string>& lines);

struct TreeItemRows {
    std::optional<bool> listEnabled;  // last enable/disable the scan did; nullopt = untouched
    std::vector<McuListRow> rows;
};
// The property list for a selected tree item: the parts of a series wherever they
// stand; a group item stops the scan with the list disabled.
TreeItemRows RowsForTreeItem(const std::vector<std::string>& lines, const std::string& itemText);

// The memory map of the first record whose part field equals `part`; nullopt when
// none has. Every bound is kept at or below 0x100000 (the image size); an
// unreadable start address leaves its region empty; a part with no numbered block
// gets region 2 = [0, size).
std::optional<MemoryMap> MemoryMapForPart(const std::vector<std::string>& lines,
                                          const std::string& part);

// The erase dialog's rows: the block entries of the first record of that part.
std::vector<EraseBlockRow> EraseBlocksForPart(const std::vector<std::string>& lines,
                                              const std::string& part);

// The catalogue as `o8rprog mcus` lists it: the tree, and under each series
// item the property list that selecting it shows, each part with its memory
// map. A series that has items in several places of the tree lists its parts
// under the first only (`listedAbove` on the others), so the listing grows
// with the file, not with the square of it.
struct McuListingPart {
    McuListRow row;
    std::optional<MemoryMap> map;  // as MemoryMapForPart gives it
};
struct McuListingSeries {
    std::string text;
    bool listedAbove = false;
    std::vector<McuListingPart> parts;
};
struct McuListingGroup {
    std::string text;
    std::vector<McuListingSeries> series;
};
std::vector<McuListingGroup> BuildMcuListing(const std::vector<std::string>& lines);

// Why the block entries of `part`'s record cannot all be used, naming the line
// and the part, or nullopt when they can: an entry with a start address that
// is not five hexadecimal digits, or fewer entries on the line than its count
// announces. Erasing such a part would skip a block without a word.
std::optional<std::string> BlockEntryProblem(const std::vector<std::string>& lines,
                                             const std::string& part);
// The same for every record of the file, in file order.
std::vector<std::string> BlockEntryProblems(const std::vector<std::string>& lines);

// Parsed records. A record's blocks are the entries its count field announces that
// the line holds in full with a five-digit hexadecimal start address; an entry cut
// short or with an unreadable address would make the box erase the wrong page, so
// it is left out.
struct BlockEntry {
    std::string name;  // two characters as cut, "0A", "02"
    std::string size;  // four characters as cut, " 16K", "  1K"
    std::uint32_t start;
};
struct McuRecord {
    std::string group, series, part, memorySize;
    std::vector<BlockEntry> blocks;
};
std::vector<McuRecord> CatalogueRecords(const std::vector<std::string>& lines);

// Finds a part by name with trailing blanks ignored on both sides (the command line's lookup).
std::optional<McuRecord> FindPartLoosely(const std::vector<std::string>& lines,
                                         std::string_view name);

// A block's size in bytes from its size text (" 16K" -> 16384, "  1K" -> 1024);
// nullopt unless the text is decimal digits and a K, blanks around them allowed.
std::optional<std::uint32_t> BlockSizeBytes(std::string_view sizeText);

}  // namespace o8r
