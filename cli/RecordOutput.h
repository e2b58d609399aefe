#pragma once

// A run's record written out: one JSON object (--json), and its CSV line
// appended to the log (--log). Both carry the same fields.

#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "cli/RunRecord.h"

namespace o8r::cli {

// Objects keep their fields in the order they are written.
using Json = nlohmann::ordered_json;

// Valid UTF-8 passes unchanged; each byte of invalid UTF-8 becomes U+FFFD, so
// that a name in some other code page still makes valid JSON.
std::string ValidUtf8(std::string_view text);
// A JSON string literal, quotes included, control characters escaped.
std::string JsonString(std::string_view text);
// The record as a JSON object, and as one line of text without a line end.
Json RecordObject(const RunRecord& record);
std::string RecordJson(const RunRecord& record);

// Appends `line` to the log at `path` with a single write on a file opened for
// appending, the header first when the file is new or empty, and a line end
// first when its last line lacks one. False with a reason.
bool AppendToLog(const std::string& path, const std::string& line, std::string& error);

}  // namespace o8r::cli
