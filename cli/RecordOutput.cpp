#include "cli/RecordOutput.h"

#include "platform/AppendFile.h"

#include <cstdio>

#include <nlohmann/json.hpp>

namespace o8r::cli {

namespace {

// The length of the valid UTF-8 sequence starting at text[i], or 0.
std::size_t Utf8Length(std::string_view text, std::size_t i) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    std::size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0)
            low = 0xA0;  // no overlong forms
        if (lead == 0xED)
            high = 0x9F;  // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0)
            low = 0x90;
        if (lead == 0xF4)
            high = 0x8F;  // nothing past U+10FFFF
    } else {
        return 0;
    }
    if (i + length > text.size())
        return 0;
    if (byte(i + 1) < low || byte(i + 1) > high)
        return 0;
    for (std::size_t k = 2; k < length; ++k)
        if (byte(i + k) < 0x80 || byte(i + k) > 0xBF)
            return 0;
    return length;
}

}  // namespace

std::string ValidUtf8(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        if (static_cast<unsigned char>(text[i]) < 0x80) {
            out += text[i++];
            continue;
        }
        const std::size_t length = Utf8Length(text, i);
        if (length == 0) {
            out += "\xEF\xBF\xBD";  // U+FFFD
            ++i;
        } else {
            out.append(text.substr(i, length));
            i += length;
        }
    }
    return out;
}

std::string JsonString(std::string_view text) {
    return Json(ValidUtf8(text)).dump();
}

Json RecordObject(const RunRecord& record) {
    Json image = nullptr;
    if (!record.imageFile.empty()) {
        const bool pages = record.pages > 0;
        image = Json::object();
        image["file"] = ValidUtf8(record.imageFile);
        image["size"] = record.imageSize ? Json(*record.imageSize) : Json(nullptr);
        image["pages"] = record.pages;
        image["crc32"] = pages ? Json(record.crc32) : Json(nullptr);
        image["sha256"] = pages ? Json(record.sha256) : Json(nullptr);
        image["format"] = pages ? Json(record.imageFormat) : Json(nullptr);
        image["idCode"] = pages && !record.idCode.empty() ? Json(record.idCode) : Json(nullptr);
    }
    Json json = Json::object();
    json["command"] = ValidUtf8(record.command);
    json["part"] = ValidUtf8(record.part);
    json["box"] = {{"port", ValidUtf8(record.port)}, {"usbSerial", ValidUtf8(record.usbSerial)}};
    json["image"] = image;
    json["start"] = IsoUtc(record.startMs);
    json["end"] = IsoUtc(record.endMs);
    json["durationSeconds"] = static_cast<double>(record.durationMs) / 1000.0;
    json["outcome"] = record.outcome;
    json["message"] = ValidUtf8(record.message);
    json["resetFailed"] = record.resetFailed;
    json["exitStatus"] = record.exitStatus;
    json["firstFilledAddress"] =
        record.firstFilledAddress ? Json(*record.firstFilledAddress) : Json(nullptr);
    json["storedName"] = record.storedName ? Json(ValidUtf8(*record.storedName)) : Json(nullptr);
    json["bytesRead"] = record.bytesRead ? Json(*record.bytesRead) : Json(nullptr);
    json["output"] = ValidUtf8(record.output);
    json["serial"] = nullptr;
    if (record.serial)
        json["serial"] = {
            {"value", *record.serial}, {"at", record.serialAt}, {"bytes", record.serialBytes}};
    json["job"] = nullptr;
    if (!record.job.empty()) {
        Json steps = Json::array();
        for (const auto& [step, outcome] : record.steps)
            steps.push_back({{"step", ValidUtf8(step)}, {"outcome", outcome}});
        json["job"] = {
            {"file", ValidUtf8(record.job)}, {"sha256", record.jobSha256}, {"steps", steps}};
        if (record.programmed) {
            json["job"]["programmed"] = *record.programmed;
            json["job"]["failed"] = record.failed.value_or(0);
        }
    }
    return json;
}

std::string RecordJson(const RunRecord& record) {
    return RecordObject(record).dump();
}

bool AppendToLog(const std::string& path, const std::string& line, std::string& error) {
    return AppendLines(path, CsvHeader(), line, error);
}

}  // namespace o8r::cli
