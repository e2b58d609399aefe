#pragma once

// Read-back data as a Motorola S-record file with 24-bit addresses: an S0
// header, one S2 record per row of the read window's hex dump, an S8 terminator.

#include <cstdint>
#include <string>
#include <vector>

#include "srec/ReadRow.h"

namespace o8r {

// The whole file for the rows of the read window and g_rangeStart: CR LF after
// every line but the terminator. The first record starts at rangeStart, the
// others at their row address; only the non-empty cells of a row are written.
// Precondition: rows not empty (an empty text is returned otherwise).
std::string BuildSRecordFile(const std::vector<ReadRow>& rows, std::uint32_t rangeStart);

// Writes `contents` to a temporary file beside `path` and renames it over `path`
// only when complete; returns false (leaving no partial file, and the old file
// untouched) on any failure.
bool WriteFileReplacing(const std::string& path, const std::string& contents);

}  // namespace o8r
