#include "cli/RecordOutput.h"

#include <cstdio>

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

class JsonObject {
  public:
    JsonObject& Raw(std::string_view key, std::string_view value) {
        m_text += m_text.size() == 1 ? "" : ",";
        m_text += JsonString(key);
        m_text += ':';
        m_text += value;
        return *this;
    }
    JsonObject& Text(std::string_view key, std::string_view value) {
        return Raw(key, JsonString(value));
    }
    JsonObject& Number(std::string_view key, std::uint64_t value) {
        return Raw(key, std::to_string(value));
    }
    JsonObject& Bool(std::string_view key, bool value) {
        return Raw(key, value ? "true" : "false");
    }
    template <typename T>
    JsonObject& Optional(std::string_view key, const std::optional<T>& value) {
        if (!value)
            return Raw(key, "null");
        if constexpr (std::is_same_v<T, std::string>)
            return Text(key, *value);
        else
            return Number(key, *value);
    }
    std::string Close() { return m_text + '}'; }

  private:
    std::string m_text = "{";
};

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

}  // namespace

std::string JsonString(std::string_view text) {
    std::string out = "\"";
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c >= 0x80) {
            const std::size_t length = Utf8Length(text, i);
            if (length == 0) {
                out += "\xEF\xBF\xBD";  // U+FFFD
                ++i;
            } else {
                out.append(text.substr(i, length));
                i += length;
            }
            continue;
        }
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (c < 0x20 || c == 0x7F) {
                    char escaped[8];
                    std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
                    out += escaped;
                } else {
                    out += static_cast<char>(c);
                }
        }
        ++i;
    }
    return out + '"';
}

std::string RecordJson(const RunRecord& record) {
    JsonObject box;
    box.Text("port", record.port).Text("usbSerial", record.usbSerial);
    std::string image = "null";
    if (!record.imageFile.empty()) {
        JsonObject fields;
        fields.Text("file", record.imageFile).Optional("size", record.imageSize);
        fields.Number("pages", static_cast<std::uint64_t>(record.pages));
        if (record.pages > 0) {
            fields.Text("crc32", record.crc32).Text("sha256", record.sha256);
            fields.Text("format", record.imageFormat);
            if (record.idCode.empty())
                fields.Raw("idCode", "null");
            else
                fields.Text("idCode", record.idCode);
        } else {
            fields.Raw("crc32", "null").Raw("sha256", "null").Raw("format", "null");
            fields.Raw("idCode", "null");
        }
        image = fields.Close();
    }
    JsonObject json;
    json.Text("command", record.command).Text("part", record.part).Raw("box", box.Close());
    json.Raw("image", image);
    json.Text("start", IsoUtc(record.startMs)).Text("end", IsoUtc(record.endMs));
    json.Raw("durationSeconds", Seconds(record.durationMs));
    json.Text("outcome", record.outcome).Text("message", record.message);
    json.Bool("resetFailed", record.resetFailed);
    json.Number("exitStatus", static_cast<std::uint64_t>(record.exitStatus));
    json.Optional("firstFilledAddress", record.firstFilledAddress);
    json.Optional("storedName", record.storedName).Optional("bytesRead", record.bytesRead);
    json.Text("output", record.output);
    return json.Close();
}

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
           "stored_name,bytes_read\n";
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
    };
    std::string line;
    for (const std::string& field : fields) {
        if (&field != &fields[0])
            line += ',';
        line += CsvField(field);
    }
    return line + '\n';
}

bool AppendToLog(const std::string& path, const std::string& line, std::string& error) {
    return AppendLines(path, CsvHeader(), line, error);
}

}  // namespace o8r::cli
