#include "core/model/RunRecord.h"

#include <chrono>
#include <cstdio>

namespace o8r {

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

std::string Seconds(std::uint64_t ms) {
    char text[32];
    std::snprintf(text, sizeof text, "%llu.%03u", static_cast<unsigned long long>(ms / 1000),
                  static_cast<unsigned>(ms % 1000));
    return text;
}

template <typename T>
std::string OptionalText(const std::optional<T>& value) {
    if (!value)
        return {};
    if constexpr (std::is_same_v<T, std::string>)
        return *value;
    else
        return std::to_string(*value);
}

// "erase=Completed;program=TimeOut": each step and its ending.
std::string StepsText(const std::vector<std::pair<std::string, std::string>>& steps) {
    std::string text;
    for (const auto& [step, outcome] : steps)
        text += (text.empty() ? "" : ";") + step + "=" + outcome;
    return text;
}

}  // namespace

std::string CsvField(std::string_view text) {
    // Every record stays on one line of the file: a line break becomes a space.
    std::string flat(text);
    for (char& c : flat)
        if (c == '\n' || c == '\r')
            c = ' ';
    if (flat.find_first_of(",\"") == std::string::npos)
        return flat;
    std::string out = "\"";
    for (char c : flat) {
        out += c;
        if (c == '"')
            out += '"';
    }
    return out + '"';
}

std::string CsvHeader() {
    return "command,part,port,usb_serial,image_file,image_size,pages,crc32,sha256,start,end,"
           "duration_s,outcome,message,reset_failed,exit_status,first_filled_address,"
           "stored_name,bytes_read,job,job_sha256,steps,serial,serial_at,serial_bytes,"
           "programmed,failed\n";
}

std::string CsvLine(const RunRecord& record) {
    const bool image = !record.imageFile.empty();
    const std::string fields[] = {
        record.command,
        record.part,
        record.port,
        record.usbSerial,
        record.imageFile,
        image ? OptionalText(record.imageSize) : "",
        image ? std::to_string(record.pages) : "",
        record.crc32,
        record.sha256,
        IsoUtc(record.startMs),
        IsoUtc(record.endMs),
        Seconds(record.durationMs),
        record.outcome,
        record.message,
        record.resetFailed ? "yes" : "no",
        std::to_string(record.exitStatus),
        OptionalText(record.firstFilledAddress),
        OptionalText(record.storedName),
        OptionalText(record.bytesRead),
        record.job,
        record.jobSha256,
        StepsText(record.steps),
        OptionalText(record.serial),
        record.serialAt,
        record.serialBytes,
        OptionalText(record.programmed),
        OptionalText(record.failed),
    };
    std::string line;
    for (const std::string& field : fields) {
        if (&field != &fields[0])
            line += ',';
        line += CsvField(field);
    }
    return line + '\n';
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

}  // namespace o8r
