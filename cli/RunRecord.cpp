#include "cli/RunRecord.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <span>

#include "core/image/ImageFile.h"
#include "core/model/Checksums.h"

namespace o8r::cli {

namespace {

// Days since 1970-01-01 to a civil date (proleptic Gregorian).
void CivilFromDays(std::int64_t days, int& year, unsigned& month, unsigned& day) {
    days += 719468;
    const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const auto dayOfEra = static_cast<unsigned>(days - era * 146097);
    const unsigned yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const unsigned mp = (5 * dayOfYear + 2) / 153;
    day = dayOfYear - (153 * mp + 2) / 5 + 1;
    month = mp < 10 ? mp + 3 : mp - 9;
    year = static_cast<int>(yearOfEra + era * 400 + (month <= 2 ? 1 : 0));
}

}  // namespace

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

std::uint64_t NowMs() {
    using namespace std::chrono;
    return static_cast<std::uint64_t>(
        duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count());
}

std::uint64_t SteadyMs() {
    using namespace std::chrono;
    return static_cast<std::uint64_t>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

std::string IsoUtc(std::uint64_t ms) {
    const auto seconds = static_cast<std::int64_t>(ms / 1000);
    std::int64_t days = seconds / 86400;
    std::int64_t rest = seconds % 86400;
    int year = 1970;
    unsigned month = 1;
    unsigned day = 1;
    CivilFromDays(days, year, month, day);
    // Room for any year the compiler can imagine, so nothing is ever cut.
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02d.%03dZ", year, month, day,
                  static_cast<int>(rest / 3600), static_cast<int>(rest / 60 % 60),
                  static_cast<int>(rest % 60), static_cast<int>(ms % 1000));
    return text;
}

}  // namespace o8r::cli
