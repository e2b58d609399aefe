#include "cli/RunRecord.h"

#include <cstdio>
#include <span>

#include "core/image/ImageFile.h"
#include "core/model/Checksums.h"

namespace o8r::cli {

RunRecord& CurrentRecord() {
    static RunRecord record;
    return record;
}

void NoteResult(const OperationResult& result) {
    RunRecord& record = CurrentRecord();
    record.outcome = OutcomeName(result.outcome);
    record.resetFailed = record.resetFailed || result.resetFailed;
    if (result.outcome == Outcome::CheckAreaNotEmpty)
        record.firstFilledAddress = result.address;
    if (result.outcome == Outcome::StoredName)
        record.storedName = result.storedName;
    if (result.operation == Operation::Read && result.Succeeded())
        record.bytesRead = result.data.size();
}

void NoteMessage(const Message& message) {
    RunRecord& record = CurrentRecord();
    // Questions are not endings.
    if (message.icon == MsgIcon::Question) {
        record.lastQuestion = message.text;
        return;
    }
    const bool error = message.icon == MsgIcon::Error || message.icon == MsgIcon::Exclamation;
    // The first error says what went wrong; until one comes, the latest notice.
    if (record.messageIsError)
        return;
    record.message = message.text;
    record.messageIsError = error;
}

void NoteImagePages(const PageImage& image) {
    RunRecord& record = CurrentRecord();
    const int count = static_cast<int>(image.RecordCount());
    if (count <= 0)
        return;
    Crc32 crc;
    Sha256 sha;
    for (int i = 0; i < count; ++i) {
        const std::span<const std::uint8_t> bytes(image.pageRecords[static_cast<std::size_t>(i)]);
        crc.Add(bytes);
        sha.Add(bytes);
    }
    record.pages = count;
    record.crc32 = Crc32Text(crc.Value());
    const auto digest = sha.Finish();
    record.sha256 = HexText(digest);
    record.imageFormat = ImageFormatShortName(image.format);
    const auto id = ImageIdCode(image);
    record.idCode = id ? IdCodeText(*id) : "";
}

void NoteSerial(const SerialPatch& patch) {
    RunRecord& record = CurrentRecord();
    record.serial = patch.value;
    record.serialAt = SerialPlacementText(patch.placement);
    record.serialBytes = HexText(patch.bytes);
}

}  // namespace o8r::cli
