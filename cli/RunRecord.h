#pragma once

// What one run of a command did, for --json and --log: the command, the part,
// the box, the image with its checksums, the times, and how it ended. The
// command session fills it as results come in; Main writes it out at the end.

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/image/PageImage.h"
#include "core/image/SerialNumber.h"
#include "core/model/Message.h"
#include "core/model/Outcome.h"
#include "core/model/RunRecord.h"

namespace o8r::cli {

// The record of this process's run.
RunRecord& CurrentRecord();

// The ending of an operation as the API returned it.
void NoteResult(const OperationResult& result);
// A message shown to the user; the first error (or else the last notice)
// becomes the record's message.
void NoteMessage(const Message& message);
// Page count and checksums of the image's page records, when it holds any.
void NoteImagePages(const PageImage& image);

// The serial number the board was given.
void NoteSerial(const SerialPatch& patch);

}  // namespace o8r::cli
