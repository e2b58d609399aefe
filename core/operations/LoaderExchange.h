#pragma once

// The exchange with the box's firmware loader (the boot loader of the box's
// own MCU, asynchronous serial I/O at 19200 baud) once the new firmware is in
// the page records: synchronisation, ID check, erase of both blocks, and one
// program command per page. It takes one byte per write, answers status reads
// with two bytes, and shows readiness by the bytes it sends rather than by CTS.

#include <functional>

#include "core/image/PageImage.h"
#include "core/link/BoxLink.h"
#include "core/model/Outcome.h"

namespace o8r {

struct LoaderCallbacks {
    std::function<void()> erasing;      // the block erases begin
    std::function<void()> programming;  // the pages begin
    std::function<void(int)> progress;  // before each page, in percent
};

// Completed when every page of the image's records was programmed, else the failure.
[[nodiscard]] Outcome RunLoaderExchange(BoxLink& link, const PageImage& image,
                                        const LoaderCallbacks& callbacks);

}  // namespace o8r
