// o8rprog doctor on made-up facts: who may open a port, and the advice for
// each thing that keeps a box from being used.

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "cli/Doctor.h"

namespace o8r::cli {
namespace {

constexpr unsigned kDialout = 20;
constexpr unsigned kPlugdev = 46;
constexpr unsigned kAlice = 1000;

Identity Alice(std::vector<unsigned> groups = {}) {
    return Identity{kAlice, kAlice, std::move(groups), "alice"};
}

PortNode Node(unsigned mode, std::vector<AclEntry> acl = {}) {
    PortNode node;
    node.exists = true;
    node.mode = mode;
    node.uid = 0;
    node.gid = kDialout;
    node.ownerName = "root";
    node.groupName = "dialout";
    node.acl = std::move(acl);
    return node;
}

// An access list as udev's uaccess leaves it: the seat's user named, a mask.
std::vector<AclEntry> SeatAcl(unsigned user, unsigned userPerm, unsigned mask) {
    return {{AclEntry::kUserObj, 6, 0},
            {AclEntry::kUser, userPerm, user},
            {AclEntry::kGroupObj, 6, 0},
            {AclEntry::kMask, mask, 0},
            {AclEntry::kOther, 0, 0}};
}

struct AccessCase {
    const char* name;
    PortNode node;
    Identity who;
    bool expected;
};

class PortAccessTest : public ::testing::TestWithParam<AccessCase> {};

TEST_P(PortAccessTest, DecidesAsTheKernelDoes) {
    EXPECT_EQ(MayOpenReadWrite(GetParam().node, GetParam().who), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PortAccessTest,
    ::testing::Values(
        AccessCase{"RootOpensAnything", Node(0000), Identity{0, 0, {}, "root"}, true},
        AccessCase{"OtherUserWithoutRights", Node(0660), Alice(), false},
        AccessCase{"GroupMember", Node(0660), Alice({kDialout}), true},
        AccessCase{"PrimaryGroupCounts", Node(0660), Identity{kAlice, kDialout, {}, "alice"}, true},
        AccessCase{"GroupMayOnlyRead", Node(0640), Alice({kDialout}), false},
        AccessCase{"OthersMayWriteButGroupMayNot", Node(0606), Alice({kDialout}), false},
        AccessCase{"EveryoneMay", Node(0666), Alice(), true},
        AccessCase{"OwnerBitsForTheOwner",
                   [] {
                       PortNode node = Node(0066);
                       node.uid = kAlice;
                       return node;
                   }(),
                   Alice({kDialout}), false},
        AccessCase{"SeatUserNamedInTheAcl", Node(0660, SeatAcl(kAlice, 6, 6)), Alice(), true},
        AccessCase{"MaskLimitsTheNamedUser", Node(0660, SeatAcl(kAlice, 6, 4)), Alice(), false},
        AccessCase{"AclForSomeoneElse", Node(0660, SeatAcl(1001, 6, 6)), Alice(), false},
        AccessCase{"AclGroupEntry",
                   Node(0660, {{AclEntry::kUserObj, 6, 0},
                               {AclEntry::kGroupObj, 0, 0},
                               {AclEntry::kGroup, 6, kPlugdev},
                               {AclEntry::kMask, 6, 0},
                               {AclEntry::kOther, 0, 0}}),
                   Alice({kPlugdev}), true},
        // A group entry that matches but grants nothing ends the search.
        AccessCase{"MatchedGroupWithoutRightsDenies",
                   Node(0666, {{AclEntry::kUserObj, 6, 0},
                               {AclEntry::kGroupObj, 0, 0},
                               {AclEntry::kMask, 6, 0},
                               {AclEntry::kOther, 6, 0}}),
                   Alice({kDialout}), false}),
    [](const ::testing::TestParamInfo<AccessCase>& info) { return info.param.name; });

UsbBox GoodBox(const std::string& usbPath = "1-1.2", const std::string& port = "ttyUSB0") {
    UsbBox box;
    box.usbPath = usbPath;
    box.product = "CP2102 USB to UART Bridge Controller";
    box.driver = "cp210x";
    box.port = port;
    box.node = Node(0660);
    return box;
}

DoctorFacts Facts(std::vector<UsbBox> boxes, Identity who = Alice({kDialout})) {
    DoctorFacts facts;
    facts.who = std::move(who);
    facts.boxes = std::move(boxes);
    return facts;
}

const CatalogueFacts kFound{"/usr/share/o8r-programmer/MCUType.mcu", {}};

// The report's text, and its exit status.
struct Outcome {
    std::string text;
    int status;
};

Outcome Doctor(const DoctorFacts& facts, const CatalogueFacts& catalogue = kFound) {
    const DoctorReport report = Diagnose(facts, catalogue);
    return {FormatReport(report), DoctorExitStatus(report)};
}

TEST(DoctorTest, AUsableBoxSaysSoLineByLine) {
    const Outcome outcome = Doctor(Facts({GoodBox()}));
    EXPECT_EQ(outcome.text,
              "ok: catalogue /usr/share/o8r-programmer/MCUType.mcu\n"
              "ok: box at USB 1-1.2 (CP2102 USB to UART Bridge Controller): driver cp210x, "
              "port /dev/ttyUSB0\n"
              "ok: /dev/ttyUSB0 can be opened by user alice\n"
              "ok: the box can be used: o8rprog finds it by itself (--box auto)\n");
    EXPECT_EQ(outcome.status, 0);
}

TEST(DoctorTest, NoBoxAndNoCatalogue) {
    const Outcome outcome =
        Doctor(Facts({}), CatalogueFacts{{}, {"/a/MCUType.mcu", "/b/MCUType.mcu"}});
    EXPECT_EQ(outcome.text,
              "problem: no catalogue (tried /a/MCUType.mcu, /b/MCUType.mcu): name the file with "
              "--catalogue FILE, or install the package again\n"
              "problem: no box found: no USB device 10c4:ea61 is attached; plug the box in (lsusb "
              "lists what is attached), or try another cable or USB socket\n");
    EXPECT_EQ(outcome.status, 1);
}

TEST(DoctorTest, AUsableBoxWithoutCatalogueIsNoSuccess) {
    EXPECT_EQ(Doctor(Facts({GoodBox()}), CatalogueFacts{{}, {"x"}}).status, 1);
}

// Each fault of one box: a line that names it and what to do, and exit 1.
struct FaultCase {
    const char* name;
    DoctorFacts facts;
    std::string expectedLine;
};

// The command doctor gives for installing the box's udev rule by hand.
const std::string kInstallRule =
    "`echo 'SUBSYSTEM==\"tty\", ATTRS{idVendor}==\"10c4\", ATTRS{idProduct}==\"ea61\", "
    "MODE=\"0660\", GROUP=\"plugdev\", TAG+=\"uaccess\"' | sudo tee "
    "/etc/udev/rules.d/70-o8r-programmer.rules && sudo udevadm control --reload && sudo udevadm "
    "trigger --subsystem-match=tty`";

class DoctorFaultTest : public ::testing::TestWithParam<FaultCase> {};

TEST_P(DoctorFaultTest, NamesTheFaultAndTheRemedy) {
    const Outcome outcome = Doctor(GetParam().facts);
    EXPECT_NE(outcome.text.find("problem: " + GetParam().expectedLine + "\n"), std::string::npos)
        << outcome.text;
    EXPECT_EQ(outcome.status, 1);
}

DoctorFacts With(const std::function<void(DoctorFacts&)>& change) {
    DoctorFacts facts = Facts({GoodBox()}, Alice());
    change(facts);
    return facts;
}

INSTANTIATE_TEST_SUITE_P(
    Faults, DoctorFaultTest,
    ::testing::Values(
        FaultCase{"NoDriver", With([](DoctorFacts& f) { f.boxes[0].driver.clear(); }),
                  "box at USB 1-1.2 (CP2102 USB to UART Bridge Controller): no kernel driver is "
                  "bound to it: load the driver with `sudo modprobe cp210x`, then unplug the box "
                  "and plug it in again"},
        FaultCase{"NoPort", With([](DoctorFacts& f) { f.boxes[0].port.clear(); }),
                  "box at USB 1-1.2 (CP2102 USB to UART Bridge Controller): driver cp210x is "
                  "bound but made no serial port: unplug the box and plug it in again"},
        FaultCase{"NoDeviceNode", With([](DoctorFacts& f) { f.boxes[0].node.exists = false; }),
                  "box at USB 1-1.2 (CP2102 USB to UART Bridge Controller): driver cp210x, port "
                  "/dev/ttyUSB0, but /dev/ttyUSB0 does not exist: run `sudo udevadm trigger "
                  "--subsystem-match=tty`, or unplug the box and plug it in again"},
        FaultCase{"NotInTheGroup", With([](DoctorFacts&) {}),
                  "/dev/ttyUSB0 can not be opened by user alice (owner root, group dialout, mode "
                  "0660): join its group with `sudo usermod -aG dialout alice` and log in again, "
                  "or install the udev rule with " +
                      kInstallRule},
        FaultCase{"InTheGroupButNotThisLogin",
                  With([](DoctorFacts& f) { f.boxes[0].node.userListedInGroup = true; }),
                  "/dev/ttyUSB0 can not be opened by user alice (owner root, group dialout, mode "
                  "0660): you are in group dialout, but this login is not yet: log out and in "
                  "again (or run `newgrp dialout`)"},
        // Being in a group that may not write is no reason to log in again.
        FaultCase{"GroupMayNotWrite", With([](DoctorFacts& f) {
                      f.who = Alice({kDialout});
                      f.boxes[0].node.userListedInGroup = true;
                      f.boxes[0].node.mode = 0640;
                  }),
                  "/dev/ttyUSB0 can not be opened by user alice (owner root, group dialout, mode "
                  "0640): install the udev rule with " +
                      kInstallRule},
        FaultCase{"RuleInstalledButNotApplied", With([](DoctorFacts& f) {
                      f.udevRuleInstalled = "/usr/lib/udev/rules.d/70-o8r-programmer.rules";
                      f.boxes[0].node.mode = 0600;
                  }),
                  "/dev/ttyUSB0 can not be opened by user alice (owner root, group dialout, mode "
                  "0600): the udev rule /usr/lib/udev/rules.d/70-o8r-programmer.rules is "
                  "installed but not applied: unplug the box and plug it in again (or run `sudo "
                  "udevadm trigger --subsystem-match=tty`)"},
        FaultCase{"HeldByAnotherProcess", With([](DoctorFacts& f) {
                      f.who = Alice({kDialout});
                      f.boxes[0].holders = {{812, "ModemManager"}, {4711, ""}};
                  }),
                  "/dev/ttyUSB0 is held by process 812 (ModemManager), process 4711: close that "
                  "program, or stop it, before using the box"}),
    [](const ::testing::TestParamInfo<FaultCase>& info) { return info.param.name; });

TEST(DoctorTest, SeveralBoxesAreNamedByPort) {
    UsbBox broken = GoodBox("1-1.3", "ttyUSB1");
    broken.driver.clear();
    EXPECT_NE(Doctor(Facts({GoodBox(), broken}))
                  .text.find("ok: the box on /dev/ttyUSB0 can be used: name it with --box "
                             "serial:/dev/ttyUSB0\n"),
              std::string::npos);
    const Outcome two = Doctor(Facts({GoodBox(), GoodBox("1-1.3", "ttyUSB1")}));
    EXPECT_NE(two.text.find("ok: 2 boxes can be used; --box auto needs exactly one"),
              std::string::npos);
    EXPECT_EQ(two.status, 0);
}

TEST(DoctorTest, AnUnknownSystemOnlyReportsTheCatalogue) {
    DoctorFacts facts = Facts({GoodBox()});
    facts.supported = false;
    const Outcome outcome = Doctor(facts);
    EXPECT_NE(outcome.text.find("problem: the checks of a real box are not written for this "
                                "system yet"),
              std::string::npos);
    EXPECT_EQ(outcome.status, 1);
}

// Windows: the library and its boxes, each fault with its one-line remedy;
// exit 0 only with a box the library sees.
TEST(DoctorTest, JudgesTheWindowsLibrary) {
    const std::string copy =
        "copy the 64-bit SiUSBXp.dll of the box's USBXpress driver package into C:\\o8r";
    struct Case {
        std::function<void(LibraryFacts&)> change;
        std::string line;
        int status;
    };
    const Case cases[] = {
        {[](LibraryFacts&) {}, "ok: the box can be used: o8rprog finds it by itself (--box auto)",
         0},
        {[](LibraryFacts& l) { l.path.clear(); },
         "problem: SiUSBXp.dll is neither beside the program nor on the system's search path: "
         "install the box's USBXpress driver package and copy its 64-bit SiUSBXp.dll into "
         "C:\\o8r",
         1},
        {[](LibraryFacts& l) { l.libraryBits = 32; },
         "problem: C:\\o8r\\SiUSBXp.dll is a 32-bit library and o8rprog a 64-bit program: " + copy,
         1},
        {[](LibraryFacts& l) {
             l.missing = {"16 (set flow control)", "17 (get modem status)"};
         },
         "problem: C:\\o8r\\SiUSBXp.dll lacks the functions with ordinals 16 (set flow "
         "control), 17 (get modem status): it is not the box's library; " +
             copy,
         1},
        {[](LibraryFacts& l) {
             l.productStrings = false;
             l.serials = {""};
         },
         "ok: all twelve functions found; no SI_GetProductString: boxes are known by their index",
         0},
        {[](LibraryFacts& l) {
             l.boxes = 0;
             l.serials.clear();
             l.withoutDriver = 1;
         },
         "problem: 1 USB device 10c4:ea61 is attached without a driver: install the box's "
         "USBXpress driver package, then unplug the box and plug it in again",
         1},
        {[](LibraryFacts& l) {
             l.boxes = 2;
             l.serials = {"0001", "0002"};
         },
         "ok: the library sees 2 boxes: usbxpress:0 (serial 0001), usbxpress:1 (serial 0002)", 0},
    };
    for (const Case& c : cases) {
        LibraryFacts library;
        library.folder = "C:\\o8r";
        library.path = "C:\\o8r\\SiUSBXp.dll";
        library.libraryBits = library.programBits = 64;
        library.productStrings = true;
        library.boxes = 1;
        library.serials = {"0001"};
        c.change(library);
        DoctorFacts facts;
        facts.library = library;
        const Outcome outcome = Doctor(facts);
        EXPECT_NE(outcome.text.find(c.line + "\n"), std::string::npos) << outcome.text;
        EXPECT_EQ(outcome.status, c.status) << outcome.text;
    }
}

}  // namespace
}  // namespace o8r::cli
