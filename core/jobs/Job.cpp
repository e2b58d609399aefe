#include "core/jobs/Job.h"

#include <toml++/toml.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "core/model/Checksums.h"
#include "core/model/HexText.h"
#include "platform/Utf8Path.h"

namespace o8r {

namespace {

namespace fs = std::filesystem;

const std::set<std::string> kJobKeys = {"name", "part", "image", "image_sha256", "base",  "steps",
                                        "id",   "log",  "boxes", "start",        "serial"};
const std::set<std::string> kSerialKeys = {"at", "start", "step", "counter", "list", "overwrite"};

std::optional<std::string> ReadBytes(const std::string& path) {
    std::ifstream in(PathFromUtf8(path), std::ios::binary);
    if (!in)
        return std::nullopt;
    std::ostringstream text;
    text << in.rdbuf();
    if (in.bad())
        return std::nullopt;
    return text.str();
}

std::string Sha256Of(std::string_view bytes) {
    Sha256 sha;
    sha.Add({reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()});
    return HexText(sha.Finish());
}

bool IsHexDigits(std::string_view text) {
    return !text.empty() && text.find_first_not_of("0123456789ABCDEFabcdef") == std::string::npos;
}

// A path of the job taken from the job file's folder when it is relative.
std::string Resolved(const fs::path& folder, const std::string& path) {
    const fs::path given = PathFromUtf8(path);
    return given.is_absolute() ? path : Utf8FromPath((folder / given).lexically_normal());
}

// `path` relative to `folder` when it lies inside it, else as it is.
std::string RelativeTo(const std::string& folder, const std::string& path) {
    if (path.empty())
        return path;
    std::error_code error;
    const fs::path absolute = fs::absolute(PathFromUtf8(path), error);
    const fs::path base = fs::absolute(PathFromUtf8(folder.empty() ? "." : folder), error);
    const fs::path relative =
        absolute.lexically_normal().lexically_relative(base.lexically_normal());
    if (error || relative.empty() || *relative.begin() == "..")
        return path;
    return relative.generic_u8string().empty() ? path : Utf8FromPath(relative.generic_u8string());
}

std::string TomlString(std::string_view text) {
    std::string out = "\"";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte < 0x20 || byte == 0x7F) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04X", byte);
            out += escaped;
        } else {
            out += c;
        }
    }
    return out + '"';
}

class JobReader {
  public:
    JobReader(const toml::table& table, const fs::path& folder, std::vector<std::string>& problems)
        : m_table(table), m_folder(folder), m_problems(problems) {}

    Job Read() {
        Job job;
        for (const auto& [key, node] : m_table)
            if (kJobKeys.count(std::string(key.str())) == 0)
                Problem("unknown key '" + std::string(key.str()) + "'");
        job.name = Text(m_table, "name").value_or("");
        job.part = Required("part");
        if (const auto image = Required("image"); !image.empty())
            job.image = Resolved(m_folder, image);
        job.imageSha256 = Required("image_sha256");
        if (!job.imageSha256.empty() &&
            (job.imageSha256.size() != 64 || !IsHexDigits(job.imageSha256)))
            Problem("image_sha256 must be 64 hexadecimal digits");
        for (char& c : job.imageSha256)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (const auto base = Text(m_table, "base")) {
            if (base->size() > 5 || !IsHexDigits(*base))
                Problem("base must be 1 to 5 hexadecimal digits, not \"" + *base + "\"");
            else
                job.base = static_cast<std::uint32_t>(*ParseHex(*base));
        }
        job.steps = Steps();
        job.id = Text(m_table, "id").value_or("");
        if (!job.id.empty() && job.id != "image:" && (job.id.size() != 14 || !IsHexDigits(job.id)))
            Problem("id must be 14 hexadecimal digits or \"image:\", not \"" + job.id + "\"");
        if (const auto log = Text(m_table, "log"); log && !log->empty())
            job.log = Resolved(m_folder, *log);
        job.boxes = Boxes();
        const std::string start = Text(m_table, "start").value_or("button");
        if (start != "button" && start != "on-plug")
            Problem("start must be \"button\" or \"on-plug\", not \"" + start + "\"");
        job.startOnPlug = start == "on-plug";
        if (const toml::node* serial = m_table.get("serial")) {
            if (const toml::table* table = serial->as_table())
                job.serial = Serial(*table);
            else
                Problem("serial must be a table ([serial])");
        }
        return job;
    }

  private:
    void Problem(const std::string& text) { m_problems.push_back(text); }

    std::optional<std::string> Text(const toml::table& table, const std::string& key,
                                    const std::string& where = "") {
        const toml::node* node = table.get(key);
        if (node == nullptr)
            return std::nullopt;
        if (const auto text = node->value<std::string>())
            return text;
        Problem(where + key + " must be a text in quotes");
        return std::nullopt;
    }

    std::string Required(const std::string& key) {
        const auto text = Text(m_table, key);
        if (!m_table.get(key))
            Problem("no " + key + " given");
        else if (text && text->empty())
            Problem(key + " is empty");
        return text.value_or("");
    }

    std::vector<JobStep> Steps() {
        std::vector<JobStep> steps;
        const toml::node* node = m_table.get("steps");
        if (node == nullptr) {
            Problem("no steps given");
            return steps;
        }
        const toml::array* array = node->as_array();
        if (array == nullptr || array->empty()) {
            Problem("steps must be a list such as [\"erase\", \"program\", \"verify\"]");
            return steps;
        }
        bool programmed = false;
        for (const toml::node& item : *array) {
            const auto text = item.value<std::string>();
            std::string error;
            const auto step = text ? ParseJobStep(*text, error) : std::nullopt;
            if (!step) {
                Problem(text ? error : "each step must be a text in quotes");
                continue;
            }
            if (step->kind == JobStepKind::Program)
                programmed = true;
            if (step->kind == JobStepKind::Verify && !programmed)
                Problem("verify must come after program: it compares what program sent");
            steps.push_back(*step);
        }
        return steps;
    }

    std::string Boxes() {
        const toml::node* node = m_table.get("boxes");
        if (node == nullptr)
            return {};
        if (const auto text = node->value<std::string>())
            return *text;
        std::string joined;
        if (const toml::array* array = node->as_array()) {
            for (const toml::node& item : *array) {
                const auto text = item.value<std::string>();
                if (!text || text->empty() || text->find(',') != std::string::npos) {
                    Problem("boxes must be a text such as \"sim:4\" or a list of ports");
                    return {};
                }
                joined += (joined.empty() ? "" : ",") + *text;
            }
            return joined;
        }
        Problem("boxes must be a text such as \"sim:4\" or a list of ports");
        return {};
    }

    std::optional<std::uint64_t> Number(const toml::table& table, const std::string& key) {
        const toml::node* node = table.get(key);
        if (node == nullptr)
            return std::nullopt;
        const auto value = node->value<std::int64_t>();
        if (!value || *value < 0 || !node->is_integer()) {
            Problem("serial." + key + " must be a whole number, 0 or more");
            return std::nullopt;
        }
        return static_cast<std::uint64_t>(*value);
    }

    std::optional<JobSerial> Serial(const toml::table& table) {
        for (const auto& [key, node] : table)
            if (kSerialKeys.count(std::string(key.str())) == 0)
                Problem("unknown key 'serial." + std::string(key.str()) + "'");
        JobSerial serial;
        const auto at = Text(table, "at", "serial.");
        std::string error;
        const auto placement = at ? ParseSerialPlacement(*at, error) : std::nullopt;
        if (!at && !table.get("at"))
            Problem("no serial.at given (ADDR:LEN[:FORMAT])");
        else if (at && !placement)
            Problem("serial.at: " + error);
        if (placement)
            serial.placement = *placement;
        if (const toml::node* overwrite = table.get("overwrite")) {
            if (const auto flag = overwrite->value<bool>(); flag && overwrite->is_boolean())
                serial.placement.overwrite = *flag;
            else
                Problem("serial.overwrite must be true or false");
        }
        const auto start = Number(table, "start");
        const auto counter = Text(table, "counter", "serial.");
        const auto list = Text(table, "list", "serial.");
        const int sources = (table.get("start") ? 1 : 0) + (table.get("counter") ? 1 : 0) +
                            (table.get("list") ? 1 : 0);
        if (sources != 1)
            Problem("serial takes its numbers from one of start, counter or list");
        if (const auto step = Number(table, "step")) {
            if (*step == 0)
                Problem("serial.step must be 1 or more: a step of 0 gives one number twice");
            serial.source.step = *step;
        }
        if (counter) {
            serial.source.kind = SerialSource::Kind::Counter;
            serial.source.file = Resolved(m_folder, *counter);
        } else if (list) {
            serial.source.kind = SerialSource::Kind::List;
            serial.source.file = Resolved(m_folder, *list);
        } else if (start) {
            serial.source.start = *start;
        }
        return serial;
    }

    const toml::table& m_table;
    fs::path m_folder;
    std::vector<std::string>& m_problems;
};

std::string HexAddress(std::uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "%05X", static_cast<unsigned>(value));
    return text;
}

}  // namespace

std::optional<JobStep> ParseJobStep(const std::string& text, std::string& error) {
    const std::size_t space = text.find(' ');
    const std::string word = text.substr(0, space);
    const std::string rest = space == std::string::npos ? "" : text.substr(space + 1);
    JobStep step;
    step.text = text;
    if (word == "erase") {
        step.kind = JobStepKind::Erase;
        if (!rest.empty() && rest != "all") {
            std::istringstream names(rest);
            for (std::string name; std::getline(names, name, ',');) {
                if (name.empty()) {
                    error = "step \"" + text + "\": a block name is empty";
                    return std::nullopt;
                }
                step.blocks.push_back(name);
            }
        }
        return step;
    }
    if (word == "blank-check") {
        step.kind = JobStepKind::BlankCheck;
        if (!rest.empty()) {
            const std::size_t dash = rest.find('-');
            const std::string first = rest.substr(0, dash);
            const std::string last = dash == std::string::npos ? "" : rest.substr(dash + 1);
            if (first.size() > 5 || last.size() > 5 || !IsHexDigits(first) || !IsHexDigits(last) ||
                *ParseHex(first) > *ParseHex(last)) {
                error = "step \"" + text + "\": the range must be START-END in hexadecimal";
                return std::nullopt;
            }
            step.range = std::make_pair(static_cast<std::uint32_t>(*ParseHex(first)),
                                        static_cast<std::uint32_t>(*ParseHex(last)));
        }
        return step;
    }
    if ((word == "program" || word == "verify") && rest.empty()) {
        step.kind = word == "program" ? JobStepKind::Program : JobStepKind::Verify;
        return step;
    }
    error = "unknown step \"" + text +
            "\" (steps: erase [all|BLOCK,...], blank-check [START-END], program, verify)";
    return std::nullopt;
}

JobRead ReadJob(const std::string& path) {
    JobRead read;
    const auto bytes = ReadBytes(path);
    if (!bytes) {
        read.problems.push_back("cannot read the job file '" + path + "'");
        return read;
    }
    toml::table table;
    try {
        table = toml::parse(*bytes, path);
    } catch (const toml::parse_error& e) {
        read.problems.push_back("line " + std::to_string(e.source().begin.line) + ": " +
                                std::string(e.description()));
        return read;
    }
    const fs::path folder = PathFromUtf8(path).parent_path();
    Job job = JobReader(table, folder, read.problems).Read();
    job.path = path;
    job.sha256 = Sha256Of(*bytes);
    read.job = std::move(job);
    return read;
}

std::string JobText(const Job& job, const std::string& folder) {
    std::string text = "# A production job for o8rprog job run and the operator view.\n";
    const auto line = [&text](const std::string& key, const std::string& value) {
        text += key + " = " + value + "\n";
    };
    if (!job.name.empty())
        line("name", TomlString(job.name));
    line("part", TomlString(job.part));
    line("image", TomlString(RelativeTo(folder, job.image)));
    line("image_sha256", TomlString(job.imageSha256));
    if (job.base)
        line("base", TomlString(HexAddress(*job.base)));
    std::string steps;
    for (const JobStep& step : job.steps)
        steps += (steps.empty() ? "" : ", ") + TomlString(step.text);
    line("steps", "[" + steps + "]");
    if (!job.id.empty())
        line("id", TomlString(job.id));
    if (!job.log.empty())
        line("log", TomlString(RelativeTo(folder, job.log)));
    if (!job.boxes.empty())
        line("boxes", TomlString(job.boxes));
    if (job.startOnPlug)
        line("start", TomlString("on-plug"));
    if (job.serial) {
        const JobSerial& serial = *job.serial;
        text += "\n[serial]\n";
        line("at", TomlString(SerialPlacementText(serial.placement)));
        switch (serial.source.kind) {
            case SerialSource::Kind::Start:
                line("start", std::to_string(serial.source.start));
                break;
            case SerialSource::Kind::Counter:
                line("counter", TomlString(RelativeTo(folder, serial.source.file)));
                break;
            case SerialSource::Kind::List:
                line("list", TomlString(RelativeTo(folder, serial.source.file)));
                break;
        }
        if (serial.source.kind != SerialSource::Kind::List)
            line("step", std::to_string(serial.source.step));
        if (serial.placement.overwrite)
            line("overwrite", "true");
    }
    return text;
}

std::optional<std::string> FileSha256(const std::string& path, std::string& error) {
    const auto bytes = ReadBytes(path);
    if (!bytes) {
        error = "cannot read '" + path + "'";
        return std::nullopt;
    }
    return Sha256Of(*bytes);
}

}  // namespace o8r
