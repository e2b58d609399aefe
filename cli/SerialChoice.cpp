#include "cli/SerialChoice.h"

#include <iostream>
#include <memory>

#include "cli/ExitStatus.h"
#include "cli/RunRecord.h"
#include "core/image/ImageBuilder.h"
#include "core/model/Messages.h"
#include "core/operations/FileLoadJob.h"

namespace o8r::cli {

std::optional<JobSerial> ChooseSerial(const SerialOptions& options) {
    const int sources = (options.start ? 1 : 0) + (options.counter.empty() ? 0 : 1) +
                        (options.list.empty() ? 0 : 1);
    if (options.at.empty()) {
        if (sources > 0 || options.overwrite || options.step != 1)
            throw UsageError("--serial-* options need --serial ADDR:LEN[:FORMAT]");
        return std::nullopt;
    }
    std::string error;
    const auto placement = ParseSerialPlacement(options.at, error);
    if (!placement)
        throw UsageError("--serial: " + error);
    if (sources != 1)
        throw UsageError(
            "--serial takes its numbers from one of --serial-start, --serial-counter or "
            "--serial-list");
    if (options.step == 0)
        throw UsageError("--serial-step: 1 or more; a step of 0 would give one number twice");
    if (!options.list.empty() && options.step != 1)
        throw UsageError("--serial-step goes with --serial-start or --serial-counter");
    JobSerial serial;
    serial.placement = *placement;
    serial.placement.overwrite = options.overwrite;
    serial.source.step = options.step;
    if (options.start) {
        serial.source.start = *options.start;
    } else if (!options.counter.empty()) {
        serial.source.kind = SerialSource::Kind::Counter;
        serial.source.file = options.counter;
    } else {
        serial.source.kind = SerialSource::Kind::List;
        serial.source.file = options.list;
    }
    return serial;
}

void CheckSerialPlace(const JobSerial& serial, const MemoryMap& map, const std::string& imagePath,
                      std::optional<std::uint32_t> base) {
    if (const auto problem = SerialPlacementProblem(serial.placement, map))
        throw UsageError("--serial: " + *problem);
    auto image = std::make_unique<PageImage>();
    if (serial.placement.overwrite || LoadImageFile(*image, imagePath, map, {}, base))
        return;
    if (const auto data = LocateSerial(*image, serial.placement).firstDataByte)
        throw UsageError("--serial: the number at " + HexDigitsText(serial.placement.address, 5) +
                         " would overwrite the image's data at " + HexDigitsText(*data, 5) +
                         " (--serial-overwrite allows it)");
}

SerialPatch TakeBoardSerial(const JobSerial& serial, std::uint64_t index) {
    std::string error;
    const auto value = TakeSerial(serial.source, index, error);
    // Taken is spent: the record keeps it even if it cannot be written.
    if (value)
        CurrentRecord().serial = *value;
    const auto patch = value ? MakeSerialPatch(serial.placement, *value, error) : std::nullopt;
    if (!patch) {
        std::cerr << text::kCaptionError << ": " << error << '\n';
        throw ShownFailure(error);
    }
    NoteSerial(*patch);
    return *patch;
}

}  // namespace o8r::cli
