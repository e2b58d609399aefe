#pragma once

// Read-back data as a Motorola S-record file with 24-bit addresses: an S0
// header, one S2 record per row of the read window's hex dump, an S8 terminator.

#include <cstdint>
#include <string>
#include <vector>

#include <span>

namespace o8r {

// The whole file for bytes read from rangeStart on, one S2 record per row of the
// read window's hex dump: CR LF after every line but the terminator. The first
// record starts at rangeStart, the others at their row's address; the
// terminator carries the first row's address. Empty data gives an empty text.
[[nodiscard]] std::string BuildSRecordFile(std::uint32_t rangeStart,
                                           std::span<const std::uint8_t> data);

// Writes `contents` to a temporary file beside `path` and renames it over `path`
// only when complete; returns false (leaving no partial file, and the old file
// untouched) on any failure, with the reason in `reason` when one is given.
// Only a regular file is replaced, through any symbolic link, keeping its
// permissions and owner.
[[nodiscard]] bool WriteFileReplacing(const std::string& path, const std::string& contents,
                                      std::string* reason = nullptr);

}  // namespace o8r
