#pragma once

// o8rprog doctor: what stands between the user and a box, and what to do about
// it. The facts are gathered from the system (DoctorSystem.cpp); judging them
// and wording the advice happens here, on plain values, so that every case can
// be tried without a box.

#include <optional>
#include <string>
#include <vector>

namespace o8r::cli {

// Who runs the program: effective user and group, supplementary groups.
struct Identity {
    unsigned uid = 0;
    unsigned gid = 0;
    std::vector<unsigned> groups;
    std::string userName;  // empty when the user has no name
};

// One entry of a POSIX access list (the tags as the kernel stores them).
struct AclEntry {
    enum Tag : unsigned {
        kUserObj = 0x01,
        kUser = 0x02,
        kGroupObj = 0x04,
        kGroup = 0x08,
        kMask = 0x10,
        kOther = 0x20
    };
    unsigned tag = 0;
    unsigned perm = 0;  // 4 read, 2 write, 1 execute
    unsigned id = 0;    // the user or group of kUser and kGroup
};

// The device node of a box's serial port.
struct PortNode {
    bool exists = false;
    unsigned mode = 0;  // permission bits only
    unsigned uid = 0;
    unsigned gid = 0;
    std::string ownerName;
    std::string groupName;
    std::vector<AclEntry> acl;       // empty: none beyond the mode
    bool userListedInGroup = false;  // the group database names the user a member
};

struct PortHolder {
    int pid = 0;
    std::string command;
};

// A USB device with the box's id.
struct UsbBox {
    std::string usbPath;  // the kernel's name of the device, such as 1-1.2
    std::string product;  // as the device names itself; may be empty
    std::string driver;   // bound to its interface; empty when none
    std::string port;     // such as ttyUSB0; empty when the driver made none
    PortNode node;
    std::vector<PortHolder> holders;
};

// Windows: the box's USB library and what it sees.
struct LibraryFacts {
    std::string folder;                // the program's folder, where a copy is looked for first
    std::string path;                  // the SiUSBXp.dll that would be loaded; empty: none found
    std::string version;               // its file version, such as 5.3.0.0; empty when it has none
    int libraryBits = 0;               // 32 or 64; 0 when the file is no Windows library
    int programBits = 0;               // this program's
    std::string loadError;             // why it did not load; empty when it did
    std::vector<std::string> missing;  // "16 (set flow control)", ... of the twelve
    bool productStrings = false;       // exports SI_GetProductString
    std::optional<unsigned> boxes;     // how many it sees; nullopt: not asked, or it failed
    std::vector<std::string> serials;  // each box's, by index ("" where not given)
    int withoutDriver = 0;             // USB devices 10c4:ea61 attached without a driver
};

struct DoctorFacts {
    bool supported = true;                // false: the box checks are not known for this system
    std::optional<LibraryFacts> library;  // Windows: the checks are these
    Identity who;
    std::vector<UsbBox> boxes;
    std::string udevRuleInstalled;  // where the box's rule lies; empty when nowhere
};

struct CatalogueFacts {
    std::optional<std::string> found;
    std::vector<std::string> tried;
};

// Read and write access for `who`, as the kernel decides it from the mode, the
// owner and the access list.
bool MayOpenReadWrite(const PortNode& node, const Identity& who);

struct DoctorLine {
    bool ok = false;
    std::string text;
};

struct DoctorReport {
    std::vector<DoctorLine> lines;
    int usableBoxes = 0;
    bool catalogueFound = false;
};

// The findings, one line each, in the order a user works through them.
DoctorReport Diagnose(const DoctorFacts& facts, const CatalogueFacts& catalogue);

// "ok: ..." and "problem: ..." lines.
std::string FormatReport(const DoctorReport& report);

// Exit status: 0 when a box can be used and the catalogue is found, else 1.
int DoctorExitStatus(const DoctorReport& report);

// The facts of this system below `root` ("/" for the real one).
DoctorFacts GatherDoctorFacts(const std::string& root);

// Why the serial port `port` cannot be opened, as the system says it
// ("Permission denied", "Device or resource busy", "not a serial port with
// modem lines"); empty when it opens, or where this cannot be told.
std::string PortOpenProblem(const std::string& port);

}  // namespace o8r::cli
