#pragma once

// The serial-number options of o8rprog: checked together, and the number a
// board takes, printed and recorded.

#include <cstdint>
#include <optional>
#include <string>

#include "cli/Options.h"
#include "core/image/SerialNumber.h"
#include "core/jobs/Job.h"

namespace o8r::cli {

// What --serial and its source options ask for; nothing without --serial.
// Throws UsageError for options that do not go together.
[[nodiscard]] std::optional<JobSerial> ChooseSerial(const SerialOptions& options);

// Throws UsageError when the number cannot go where asked in the image file
// at `imagePath` for a part with `map`: outside its flash, or over the
// image's data without leave to overwrite it. An image that cannot be loaded
// is left for the operation to refuse with its own message.
void CheckSerialPlace(const JobSerial& serial, const MemoryMap& map, const std::string& imagePath,
                      std::optional<std::uint32_t> base);

// Takes the board's number from its source (the `index`-th board of the run)
// and spells it in its bytes; the run's record notes it. Throws ShownFailure
// after saying why when no number can be had.
[[nodiscard]] SerialPatch TakeBoardSerial(const JobSerial& serial, std::uint64_t index);

}  // namespace o8r::cli
