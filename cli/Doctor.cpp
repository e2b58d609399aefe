#include "cli/Doctor.h"

#include <algorithm>
#include <cstdio>

#include "o8r/BuildInfo.h"

namespace o8r::cli {

namespace {

constexpr unsigned kReadWrite = 6;

bool Grants(unsigned perm) {
    return (perm & kReadWrite) == kReadWrite;
}

bool InGroup(const Identity& who, unsigned gid) {
    return who.gid == gid ||
           std::find(who.groups.begin(), who.groups.end(), gid) != who.groups.end();
}

// The kernel's access check for a file with an access list.
bool AclGrants(const PortNode& node, const Identity& who) {
    unsigned mask = 7;
    for (const AclEntry& entry : node.acl) {
        if (entry.tag == AclEntry::kMask) {
            mask = entry.perm;
        }
    }
    for (const AclEntry& entry : node.acl) {
        if (entry.tag == AclEntry::kUser && entry.id == who.uid) {
            return Grants(entry.perm & mask);
        }
    }
    bool groupMatched = false;
    for (const AclEntry& entry : node.acl) {
        const bool matches = (entry.tag == AclEntry::kGroupObj && InGroup(who, node.gid)) ||
                             (entry.tag == AclEntry::kGroup && InGroup(who, entry.id));
        if (matches) {
            if (Grants(entry.perm & mask)) {
                return true;
            }
            groupMatched = true;
        }
    }
    if (groupMatched) {
        return false;
    }
    for (const AclEntry& entry : node.acl) {
        if (entry.tag == AclEntry::kOther) {
            return Grants(entry.perm);
        }
    }
    return false;
}

std::string Name(const std::string& name, unsigned id) {
    return name.empty() ? std::to_string(id) : name;
}

std::string Octal(unsigned mode) {
    char text[8];
    std::snprintf(text, sizeof text, "%04o", mode & 07777u);
    return text;
}

std::string UdevRuleCommand() {
    return std::string("echo '") + build::kUdevRule + "' | sudo tee /etc/udev/rules.d/" +
           build::kUdevRuleName +
           " && sudo udevadm control --reload && sudo udevadm trigger --subsystem-match=tty";
}

std::string BoxName(const UsbBox& box) {
    std::string text = "box at USB " + box.usbPath;
    if (!box.product.empty()) {
        text += " (" + box.product + ")";
    }
    return text;
}

// What keeps `who` from opening a port, and the ways out.
std::string AccessAdvice(const UsbBox& box, const DoctorFacts& facts) {
    const PortNode& node = box.node;
    const std::string user = facts.who.userName.empty() ? "$USER" : facts.who.userName;
    const std::string group = Name(node.groupName, node.gid);
    std::string text = "/dev/" + box.port + " can not be opened by user " + user + " (owner " +
                       Name(node.ownerName, node.uid) + ", group " + group + ", mode " +
                       Octal(node.mode) + "): ";
    // Joining helps only where the group may open the port; nobody is told
    // to join the group root.
    const bool groupHelps = Grants((node.mode >> 3) & 7) && !InGroup(facts.who, node.gid);
    if (groupHelps && node.userListedInGroup) {
        return text + "you are in group " + group +
               ", but this login is not yet: log out and in again (or run `newgrp " + group + "`)";
    }
    if (groupHelps && group != "root" && group != "0") {
        text += "join its group with `sudo usermod -aG " + group + " " + user +
                "` and log in again, or ";
    }
    if (!facts.udevRuleInstalled.empty()) {
        return text + "the udev rule " + facts.udevRuleInstalled +
               " is installed but not applied: unplug the box and plug it in again (or run "
               "`sudo udevadm trigger --subsystem-match=tty`)";
    }
    return text + "install the udev rule with `" + UdevRuleCommand() + "`";
}

std::string HolderText(const std::vector<PortHolder>& holders) {
    std::string text;
    for (const PortHolder& holder : holders) {
        text += (text.empty() ? "" : ", ") + std::string("process ") + std::to_string(holder.pid) +
                (holder.command.empty() ? "" : " (" + holder.command + ")");
    }
    return text;
}

// The lines of one box; true when it can be used.
bool DiagnoseBox(const UsbBox& box, const DoctorFacts& facts, std::vector<DoctorLine>& lines) {
    if (box.driver.empty()) {
        lines.push_back({false, BoxName(box) +
                                    ": no kernel driver is bound to it: load the driver with "
                                    "`sudo modprobe cp210x`, then unplug the box and plug it "
                                    "in again"});
        return false;
    }
    if (box.port.empty()) {
        lines.push_back({false, BoxName(box) + ": driver " + box.driver +
                                    " is bound but made no serial port: unplug the box and plug "
                                    "it in again"});
        return false;
    }
    const std::string port = "/dev/" + box.port;
    if (!box.node.exists) {
        lines.push_back({false, BoxName(box) + ": driver " + box.driver + ", port " + port +
                                    ", but " + port +
                                    " does not exist: run `sudo udevadm trigger "
                                    "--subsystem-match=tty`, or unplug the box and plug it in "
                                    "again"});
        return false;
    }
    lines.push_back({true, BoxName(box) + ": driver " + box.driver + ", port " + port});
    bool usable = true;
    if (MayOpenReadWrite(box.node, facts.who)) {
        lines.push_back({true, port + " can be opened by user " +
                                   (facts.who.userName.empty() ? std::to_string(facts.who.uid)
                                                               : facts.who.userName)});
    } else {
        lines.push_back({false, AccessAdvice(box, facts)});
        usable = false;
    }
    if (!box.holders.empty()) {
        lines.push_back({false, port + " is held by " + HolderText(box.holders) +
                                    ": close that program, or stop it, before using the box"});
        usable = false;
    }
    return usable;
}

std::string Bits(int bits) {
    return std::to_string(bits) + "-bit";
}

// Windows: the library, its functions, the boxes it sees and the devices
// that have no driver; true lines count the boxes that can be used.
int DiagnoseLibrary(const LibraryFacts& library, std::vector<DoctorLine>& lines) {
    const std::string bits = Bits(library.programBits);
    const std::string copy = "copy the " + bits +
                             " SiUSBXp.dll of the box's USBXpress driver package into " +
                             library.folder;
    bool loaded = false;
    if (library.path.empty()) {
        lines.push_back({false,
                         "SiUSBXp.dll is neither beside the program nor on the system's "
                         "search path: install the box's USBXpress driver package and "
                         "copy its " +
                             bits + " SiUSBXp.dll into " + library.folder});
    } else if (library.libraryBits != 0 && library.libraryBits != library.programBits) {
        lines.push_back({false, library.path + " is a " + Bits(library.libraryBits) +
                                    " library and o8rprog a " + bits + " program: " + copy});
    } else if (!library.loadError.empty()) {
        lines.push_back(
            {false, library.path + " can not be loaded (" + library.loadError + "): " + copy});
    } else {
        lines.push_back({true, "SiUSBXp.dll " + library.path +
                                   (library.version.empty() ? "" : ", version " + library.version) +
                                   ", " + bits});
        if (!library.missing.empty()) {
            std::string list;
            for (const std::string& function : library.missing)
                list += (list.empty() ? "" : ", ") + function;
            lines.push_back({false, library.path + " lacks the functions with ordinals " + list +
                                        ": it is not the box's library; " + copy});
        } else {
            lines.push_back(
                {true, std::string("all twelve functions found") +
                           (library.productStrings
                                ? ", and SI_GetProductString for the serial numbers"
                                : "; no SI_GetProductString: boxes are known by their index")});
            loaded = true;
        }
    }
    // Only a library that can be used sees boxes.
    const std::optional<unsigned> boxes = loaded ? library.boxes : std::nullopt;
    int usable = 0;
    if (boxes && *boxes == 0) {
        lines.push_back({false,
                         "the library sees no box: plug the box in, or try another cable "
                         "or USB socket"});
    } else if (boxes) {
        usable = static_cast<int>(*boxes);
        std::string list;
        for (unsigned index = 0; index < *boxes; ++index) {
            const std::string serial =
                index < library.serials.size() ? library.serials[index] : std::string();
            list += (list.empty() ? "" : ", ") + std::string("usbxpress:") + std::to_string(index) +
                    (serial.empty() ? "" : " (serial " + serial + ")");
        }
        lines.push_back({true, "the library sees " + std::to_string(usable) +
                                   (usable == 1 ? " box: " : " boxes: ") + list});
    }
    if (library.withoutDriver > 0)
        lines.push_back(
            {false, std::to_string(library.withoutDriver) +
                        (library.withoutDriver == 1 ? " USB device 10c4:ea61 is"
                                                    : " USB devices 10c4:ea61 are") +
                        " attached without a driver: install the box's USBXpress driver "
                        "package, then unplug the box and plug it in again"});
    if (usable == 1)
        lines.push_back({true, "the box can be used: o8rprog finds it by itself (--box auto)"});
    else if (usable > 1)
        lines.push_back({true, std::to_string(usable) +
                                   " boxes can be used; --box auto needs exactly one, so name "
                                   "each with --box usbxpress:SERIAL (or INDEX), or run them "
                                   "all with gang --boxes auto"});
    return usable;
}

}  // namespace

bool MayOpenReadWrite(const PortNode& node, const Identity& who) {
    if (who.uid == 0) {
        return true;
    }
    if (who.uid == node.uid) {
        return Grants(node.mode >> 6);
    }
    if (!node.acl.empty()) {
        return AclGrants(node, who);
    }
    if (InGroup(who, node.gid)) {
        return Grants(node.mode >> 3);
    }
    return Grants(node.mode);
}

DoctorReport Diagnose(const DoctorFacts& facts, const CatalogueFacts& catalogue) {
    DoctorReport report;
    auto& lines = report.lines;
    report.catalogueFound = catalogue.found.has_value();
    if (catalogue.found) {
        lines.push_back({true, "catalogue " + *catalogue.found});
    } else {
        std::string tried;
        for (const std::string& place : catalogue.tried) {
            tried += (tried.empty() ? "" : ", ") + place;
        }
        lines.push_back({false, "no catalogue (tried " + tried +
                                    "): name the file with --catalogue FILE, or install the "
                                    "package again"});
    }

    if (facts.library) {
        report.usableBoxes = DiagnoseLibrary(*facts.library, lines);
        return report;
    }
    if (!facts.supported) {
        lines.push_back({false,
                         "the checks of a real box are not written for this system yet; "
                         "--box sim works everywhere"});
        return report;
    }
    if (facts.boxes.empty()) {
        lines.push_back({false,
                         "no box found: no USB device 10c4:ea61 is attached; plug the box "
                         "in (lsusb lists what is attached), or try another cable or USB "
                         "socket"});
        return report;
    }
    std::vector<std::string> usablePorts;
    for (const UsbBox& box : facts.boxes) {
        if (DiagnoseBox(box, facts, lines)) {
            usablePorts.push_back("/dev/" + box.port);
        }
    }
    report.usableBoxes = static_cast<int>(usablePorts.size());
    if (usablePorts.size() == 1 && facts.boxes.size() == 1) {
        lines.push_back({true, "the box can be used: o8rprog finds it by itself (--box auto)"});
    } else if (usablePorts.size() == 1) {
        lines.push_back(
            {true, "the box on " + usablePorts.front() +
                       " can be used: name it with --box serial:" + usablePorts.front()});
    } else if (usablePorts.size() > 1) {
        lines.push_back({true, std::to_string(usablePorts.size()) +
                                   " boxes can be used; --box auto needs exactly one, so name "
                                   "each with --box serial:PORT and run one o8rprog per box"});
    }
    return report;
}

std::string FormatReport(const DoctorReport& report) {
    std::string text;
    for (const DoctorLine& line : report.lines) {
        text += (line.ok ? "ok: " : "problem: ") + line.text + '\n';
    }
    return text;
}

int DoctorExitStatus(const DoctorReport& report) {
    return report.usableBoxes > 0 && report.catalogueFound ? 0 : 1;
}

}  // namespace o8r::cli
