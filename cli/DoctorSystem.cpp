// The facts o8rprog doctor judges, read from the system: sysfs for the USB
// devices and their drivers, /dev for the ports, /proc for who runs the program
// and who holds a port, the group and user databases for names.
//
// Everything is read below a root folder, "/" for the real system. The tests
// hand a made-up tree through O8R_DOCTOR_ROOT; in such a tree the identity
// comes from its proc/self/status and names from its etc/passwd and etc/group.

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

#include "cli/Doctor.h"
#include "o8r/BuildInfo.h"

#if defined(__linux__)
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/xattr.h>
#include <unistd.h>
#endif

namespace o8r::cli {

#if defined(__linux__)

namespace {

namespace fs = std::filesystem;

constexpr char kVendorId[] = "10c4";
constexpr char kProductId[] = "ea61";

std::string ReadFirstLine(const fs::path& path) {
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) {
        line.pop_back();
    }
    return line;
}

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> fields;
    std::string field;
    std::istringstream in(text);
    while (std::getline(in, field, separator)) {
        fields.push_back(field);
    }
    if (!text.empty() && text.back() == separator) {
        fields.emplace_back();
    }
    return fields;
}

bool ParseUnsigned(const std::string& text, unsigned& value) {
    // Digits only, and no more than an unsigned holds: an id that does not
    // fit names no one, rather than someone it wraps round to.
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos) {
        return false;
    }
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size();
}

class System {
  public:
    explicit System(const std::string& root) : m_root(root), m_real(root == "/") {}

    fs::path Path(const std::string& absolute) const {
        return fs::path(m_root) / absolute.substr(1);
    }

    // user name and primary group from etc/passwd, by uid
    bool FindUser(unsigned uid, std::string& name, unsigned& gid) const {
        std::ifstream in(Path("/etc/passwd"));
        for (std::string line; std::getline(in, line);) {
            const auto fields = Split(line, ':');
            unsigned id = 0;
            if (fields.size() >= 4 && ParseUnsigned(fields[2], id) && id == uid &&
                ParseUnsigned(fields[3], gid)) {
                name = fields[0];
                return true;
            }
        }
        if (m_real) {
            if (const passwd* entry = getpwuid(uid)) {
                name = entry->pw_name;
                gid = entry->pw_gid;
                return true;
            }
        }
        return false;
    }

    // group name and member list from etc/group, by gid
    bool FindGroup(unsigned gid, std::string& name, std::vector<std::string>& members) const {
        std::ifstream in(Path("/etc/group"));
        for (std::string line; std::getline(in, line);) {
            const auto fields = Split(line, ':');
            unsigned id = 0;
            if (fields.size() >= 4 && ParseUnsigned(fields[2], id) && id == gid) {
                name = fields[0];
                members = Split(fields[3], ',');
                return true;
            }
        }
        if (m_real) {
            if (const group* entry = getgrgid(gid)) {
                name = entry->gr_name;
                for (char** member = entry->gr_mem; member != nullptr && *member != nullptr;
                     ++member) {
                    members.emplace_back(*member);
                }
                return true;
            }
        }
        return false;
    }

    Identity Who() const {
        Identity who;
        std::ifstream in(Path("/proc/self/status"));
        for (std::string line; std::getline(in, line);) {
            std::istringstream fields(line);
            std::string key;
            fields >> key;
            unsigned real = 0;
            if (key == "Uid:") {
                fields >> real >> who.uid;
            } else if (key == "Gid:") {
                fields >> real >> who.gid;
            } else if (key == "Groups:") {
                for (unsigned gid = 0; fields >> gid;) {
                    who.groups.push_back(gid);
                }
            }
        }
        unsigned primary = 0;
        FindUser(who.uid, who.userName, primary);
        return who;
    }

    PortNode Node(const std::string& port, const Identity& who) const {
        PortNode node;
        const std::string path = Path("/dev/" + port).string();
        struct stat info {};
        if (stat(path.c_str(), &info) != 0) {
            return node;
        }
        node.exists = true;
        node.mode = info.st_mode & 07777u;
        node.uid = info.st_uid;
        node.gid = info.st_gid;
        unsigned ownerGroup = 0;
        FindUser(node.uid, node.ownerName, ownerGroup);
        std::vector<std::string> members;
        FindGroup(node.gid, node.groupName, members);
        std::string userName;
        unsigned userGroup = 0;
        if (FindUser(who.uid, userName, userGroup)) {
            node.userListedInGroup =
                userGroup == node.gid ||
                std::find(members.begin(), members.end(), userName) != members.end();
        }
        node.acl = Acl(path);
        return node;
    }

    // The holders of /dev/PORT among the processes whose descriptors may be read.
    std::vector<PortHolder> Holders(const std::string& port) const {
        std::vector<PortHolder> holders;
        const std::string device = "/dev/" + port;
        std::error_code error;
        for (const auto& process : fs::directory_iterator(Path("/proc"), error)) {
            int pid = 0;
            const std::string name = process.path().filename().string();
            if (name.find_first_not_of("0123456789") != std::string::npos) {
                continue;
            }
            pid = std::stoi(name);
            std::error_code fdError;
            for (const auto& fd : fs::directory_iterator(process.path() / "fd", fdError)) {
                std::error_code linkError;
                if (fs::read_symlink(fd.path(), linkError).string() == device) {
                    holders.push_back({pid, ReadFirstLine(process.path() / "comm")});
                    break;
                }
            }
        }
        std::sort(holders.begin(), holders.end(),
                  [](const PortHolder& a, const PortHolder& b) { return a.pid < b.pid; });
        return holders;
    }

    std::vector<UsbBox> Boxes(const Identity& who) const {
        std::vector<UsbBox> boxes;
        std::error_code error;
        for (const auto& device : fs::directory_iterator(Path("/sys/bus/usb/devices"), error)) {
            if (Lower(ReadFirstLine(device.path() / "idVendor")) != kVendorId ||
                Lower(ReadFirstLine(device.path() / "idProduct")) != kProductId) {
                continue;
            }
            UsbBox box;
            box.usbPath = device.path().filename().string();
            box.product = ReadFirstLine(device.path() / "product");
            FindInterface(device.path(), box);
            if (!box.port.empty()) {
                box.node = Node(box.port, who);
                box.holders = Holders(box.port);
            }
            boxes.push_back(std::move(box));
        }
        std::sort(boxes.begin(), boxes.end(),
                  [](const UsbBox& a, const UsbBox& b) { return a.usbPath < b.usbPath; });
        return boxes;
    }

    std::string UdevRule() const {
        for (const char* folder : {"/etc/udev/rules.d/", "/usr/lib/udev/rules.d/",
                                   "/lib/udev/rules.d/", "/run/udev/rules.d/"}) {
            const std::string place = folder + std::string(build::kUdevRuleName);
            std::error_code error;
            if (fs::exists(Path(place), error)) {
                return place;
            }
        }
        return {};
    }

  private:
    // The driver of the device's interfaces and the tty one of them made:
    // INTERFACE/ttyUSB0 (usb-serial drivers) or INTERFACE/tty/ttyACM0.
    static void FindInterface(const fs::path& device, UsbBox& box) {
        const std::string prefix = device.filename().string() + ":";
        std::error_code error;
        for (const auto& interface : fs::directory_iterator(device, error)) {
            if (interface.path().filename().string().rfind(prefix, 0) != 0) {
                continue;
            }
            std::error_code linkError;
            const fs::path driver = fs::read_symlink(interface.path() / "driver", linkError);
            if (!linkError && box.driver.empty()) {
                box.driver = driver.filename().string();
            }
            std::error_code ttyError;
            for (const auto& entry : fs::directory_iterator(interface.path(), ttyError)) {
                const std::string name = entry.path().filename().string();
                if (name == "tty") {
                    std::error_code innerError;
                    for (const auto& inner : fs::directory_iterator(entry.path(), innerError)) {
                        box.port = inner.path().filename().string();
                    }
                } else if (name.rfind("tty", 0) == 0) {
                    box.port = name;
                }
            }
            if (!box.port.empty()) {
                return;
            }
        }
    }

    // The POSIX access list as the kernel stores it: a version word, then
    // entries of tag (16 bits), permissions (16 bits) and id (32 bits).
    static std::vector<AclEntry> Acl(const std::string& path) {
        std::vector<AclEntry> entries;
        unsigned char buffer[1024];
        const ssize_t size =
            getxattr(path.c_str(), "system.posix_acl_access", buffer, sizeof buffer);
        if (size < 4) {
            return entries;
        }
        auto word16 = [&buffer](std::size_t at) {
            return static_cast<unsigned>(buffer[at] | (buffer[at + 1] << 8));
        };
        for (std::size_t at = 4; at + 8 <= static_cast<std::size_t>(size); at += 8) {
            AclEntry entry;
            entry.tag = word16(at);
            entry.perm = word16(at + 2);
            entry.id = word16(at + 4) | (word16(at + 6) << 16);
            entries.push_back(entry);
        }
        return entries;
    }

    std::string m_root;
    bool m_real;
};

}  // namespace

DoctorFacts GatherDoctorFacts(const std::string& root) {
    const System system(root.empty() ? "/" : root);
    DoctorFacts facts;
    facts.who = system.Who();
    facts.boxes = system.Boxes(facts.who);
    facts.udevRuleInstalled = system.UdevRule();
    return facts;
}

std::string PortOpenProblem(const std::string& port) {
    // As the serial bridge opens it; never waits for a modem's carrier.
    const int fd = ::open(port.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return std::strerror(errno);
    int lines = 0;
    const bool modem = ::ioctl(fd, TIOCMGET, &lines) == 0;
    ::close(fd);
    return modem ? std::string() : "not a serial port with modem lines";
}

#elif !defined(_WIN32)  // Windows: DoctorWindows.cpp

std::string PortOpenProblem(const std::string&) {
    return {};
}

DoctorFacts GatherDoctorFacts(const std::string&) {
    DoctorFacts facts;
    facts.supported = false;
    return facts;
}

#endif

}  // namespace o8r::cli
