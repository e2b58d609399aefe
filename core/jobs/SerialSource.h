#pragma once

// Where each board's serial number comes from: a start and a step, a counter
// file, or a list file. A number once taken is never given again, whether
// its board then passes or fails: counters and lists move on under a file
// lock, so concurrent runs and every box of a gang take different numbers.

#include <cstdint>
#include <optional>
#include <string>

namespace o8r {

struct SerialSource {
    enum class Kind {
        Start,    // start + index * step: the index is the board's place in the run
        Counter,  // `file` holds the next number; taking it adds `step`
        List,     // `file` has one number a line; the ones taken go to FILE.used
    };
    Kind kind = Kind::Start;
    std::uint64_t start = 0;
    std::uint64_t step = 1;
    std::string file;
};

// "start 1000 step 1", "counter FILE", "list FILE".
[[nodiscard]] std::string SerialSourceText(const SerialSource& source);

// Takes the number for one board (`index` counts the boards of the run from
// 0 and serves Kind::Start only). Nothing with the reason when none can be had.
[[nodiscard]] std::optional<std::uint64_t> TakeSerial(const SerialSource& source,
                                                      std::uint64_t index, std::string& error);
// The number TakeSerial would give now, taking nothing.
[[nodiscard]] std::optional<std::uint64_t> NextSerial(const SerialSource& source,
                                                      std::uint64_t index, std::string& error);

// The file a list's used numbers are recorded in.
[[nodiscard]] std::string UsedListPath(const std::string& listPath);

}  // namespace o8r
