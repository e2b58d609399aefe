// The serial-port bridge to real boxes: which ports count as boxes, how the
// bridge's arguments map onto a serial port, and (over a pseudo terminal)
// that reads, writes and a vanishing port never hang. Also the factory that
// picks a bridge from a --box choice.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>

#include "bridges/BridgeFactory.h"
#include "core/image/PageChecksum.h"
#include "sim/SimulatedBox.h"
#include "support/ScratchDir.h"

#ifdef O8R_HAVE_SERIAL
#include "bridges/SerialBridge.h"
#endif

namespace o8r::test {
namespace {

// ---------------------------------------------------------------------------
// The factory.

TEST(BridgeFactoryTest, ParsesEachChoiceAndRefusesItsNeighbours) {
    struct Case {
        const char* text;
        bool ok;
        BoxChoice::Kind kind;
        const char* port;
    };
    const Case cases[] = {
        {"auto", true, BoxChoice::Kind::Auto, ""},
        {"sim", true, BoxChoice::Kind::Sim, ""},
        {"serial:/dev/ttyUSB0", true, BoxChoice::Kind::Serial, "/dev/ttyUSB0"},
        {"serial:COM3", true, BoxChoice::Kind::Serial, "COM3"},
        {"serial:", false, {}, ""},
        {"serial", false, {}, ""},
        {"Sim", false, {}, ""},
        {"simulated", false, {}, ""},
        {"", false, {}, ""},
        {"auto ", false, {}, ""},
        {"usbxpress:", false, {}, ""},
    };
    for (const Case& c : cases) {
        std::string error;
        auto choice = ParseBoxChoice(c.text, error);
        ASSERT_EQ(choice.has_value(), c.ok) << "'" << c.text << "'";
        if (c.ok) {
            EXPECT_EQ(choice->kind, c.kind) << c.text;
            EXPECT_EQ(choice->port, c.port) << c.text;
        } else {
            EXPECT_NE(error.find("serial:PORT"), std::string::npos) << error;
        }
    }
}

// usbxpress:WHICH: a number without leading zeros is the library's index,
// anything else a USB serial number ("0001" is one).
TEST(BridgeFactoryTest, TellsABoxIndexFromASerialNumber) {
    const std::pair<const char*, std::optional<std::uint32_t>> cases[] = {
        {"usbxpress:0", 0u},
        {"usbxpress:12", 12u},
        {"usbxpress:0001", std::nullopt},
        {"usbxpress:A1", std::nullopt},
        {"usbxpress:12345", std::nullopt},
    };
    for (const auto& [text, index] : cases) {
        std::string error;
        const auto choice = ParseBoxChoice(text, error);
        ASSERT_TRUE(choice) << text;
        EXPECT_EQ(choice->kind, BoxChoice::Kind::UsbXpress) << text;
        EXPECT_EQ(choice->usbIndex, index) << text;
        EXPECT_EQ(choice->usbSerial.empty(), index.has_value()) << text;
    }
}

// One run's talk with the box: connect, unlock, then one command and its
// answer of `answerLength` bytes.
std::vector<std::uint8_t> OneRun(Bridge& bridge, const std::vector<std::uint8_t>& command,
                                 std::uint32_t answerLength) {
    std::uint32_t count = 0;
    bridge.GetDeviceCount(count);
    EXPECT_EQ(count, 1u);
    DeviceHandle h = 0;
    EXPECT_EQ(bridge.Open(0, h), kBridgeOk);
    bridge.SetBaudRate(h, 500000);
    bridge.SetLineControl(h, 0x0800);
    bridge.SetFlowControl(h, 0, 1, 0, 0, 0, false);  // RTS active: the box listens
    auto exchange = [&](const std::vector<std::uint8_t>& bytes, std::uint32_t wanted) {
        std::uint32_t written = 0;
        bridge.Write(h, bytes.data(), static_cast<std::uint32_t>(bytes.size()), written);
        std::vector<std::uint8_t> answer(wanted);
        std::uint32_t got = 0;
        bridge.Read(h, answer.data(), wanted, got);
        answer.resize(got);
        return answer;
    };
    EXPECT_EQ(exchange({'C'}, 1), std::vector<std::uint8_t>{'O'});
    EXPECT_EQ(exchange({'U', 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, 1),
              std::vector<std::uint8_t>{'O'});
    auto answer = exchange(command, answerLength);
    bridge.Close(h);
    return answer;
}

TEST(BridgeFactoryTest, ASimulatedBoxWithAStateFileIsOneBoxAcrossRuns) {
    ScratchDir dir;
    VirtualClock clock;
    BoxChoice choice;
    choice.kind = BoxChoice::Kind::Sim;
    choice.sim.instant = true;
    choice.simStatePath = dir.File("box.state");

    std::vector<std::uint8_t> program = {'V', 0x40, 0x00};
    std::vector<std::uint8_t> zeros(256, 0x00);
    std::uint16_t sum = PageChecksum(zeros.data(), zeros.size());
    program.push_back(static_cast<std::uint8_t>(sum & 0xFF));
    program.push_back(static_cast<std::uint8_t>(sum >> 8));
    program.insert(program.end(), zeros.begin(), zeros.end());
    std::string error;
    {
        auto bridge = MakeBridge(choice, clock, error);
        ASSERT_TRUE(bridge) << error;
        EXPECT_EQ(OneRun(*bridge, program, 1), std::vector<std::uint8_t>{'O'});
    }
    ASSERT_TRUE(std::filesystem::exists(choice.simStatePath)) << "saved when destroyed";
    {
        auto bridge = MakeBridge(choice, clock, error);
        ASSERT_TRUE(bridge) << error;
        EXPECT_EQ(OneRun(*bridge, {'R', 0x40, 0x00}, 256), zeros) << "the page programmed before";
        EXPECT_EQ(OneRun(*bridge, {'R', 0x41, 0x00}, 256), std::vector<std::uint8_t>(256, 0xFF));
    }
}

TEST(BridgeFactoryTest, ACorruptStateFileIsReportedAndLeftAlone) {
    ScratchDir dir;
    VirtualClock clock;
    BoxChoice choice;
    choice.kind = BoxChoice::Kind::Sim;
    choice.simStatePath = dir.Write("box.state", "not a box");
    std::string error;
    EXPECT_EQ(MakeBridge(choice, clock, error), nullptr);
    EXPECT_NE(error.find("box.state"), std::string::npos) << error;
    EXPECT_EQ(ReadWholeFile(choice.simStatePath), "not a box") << "never overwritten";
}

TEST(BridgeFactoryTest, ASimulatedBoxWithoutStateCarriesItsOptions) {
    VirtualClock clock;
    BoxChoice choice;
    choice.kind = BoxChoice::Kind::Sim;
    choice.sim.faults.deviceCount = 2;
    std::string error;
    auto bridge = MakeBridge(choice, clock, error);
    ASSERT_TRUE(bridge) << error;
    std::uint32_t count = 0;
    bridge->GetDeviceCount(count);
    EXPECT_EQ(count, 2u);
}

TEST(BridgeFactoryTest, RealBoxesNeedSerialSupport) {
    VirtualClock clock;
    for (const char* text : {"auto", "serial:/dev/o8r-no-such-port"}) {
        std::string error;
        auto choice = ParseBoxChoice(text, error);
        ASSERT_TRUE(choice);
        auto bridge = MakeBridge(*choice, clock, error);
#ifdef O8R_HAVE_SERIAL
        ASSERT_TRUE(bridge) << text;
        if (choice->kind == BoxChoice::Kind::Serial) {
            std::uint32_t count = 9;
            bridge->GetDeviceCount(count);
            EXPECT_EQ(count, 0u) << "a port that is not there is no box";
            DeviceHandle h = 0;
            EXPECT_NE(bridge->Open(0, h), kBridgeOk);
        }
#else
        EXPECT_EQ(bridge, nullptr);
        EXPECT_FALSE(error.empty());
#endif
    }
}

#ifdef O8R_HAVE_SERIAL

// ---------------------------------------------------------------------------
// The pure parts of the serial bridge.

TEST(SerialBridgeTest, OnlyPortsWithTheBoxsUsbIdAreBoxes) {
    const std::vector<SerialPortInfo> ports = {
        {"/dev/ttyUSB1", true, 0x10C4, 0xEA61},
        {"/dev/ttyS0", false, -1, -1},
        {"/dev/ttyUSB0", true, 0x10C4, 0xEA61},
        {"/dev/ttyUSB2", true, 0x10C4, 0xEA60},  // a CP2102 of another kind
        {"/dev/ttyACM0", true, 0x2341, 0x0043},
        {"/dev/ttyUSB3", false, 0x10C4, 0xEA61},  // not on USB: no id to trust
    };
    EXPECT_EQ(BoxPortNames(ports, SerialMatch{}),
              (std::vector<std::string>{"/dev/ttyUSB0", "/dev/ttyUSB1"}))
        << "sorted, so that device indexes stay put";

    SerialMatch other;
    other.pid = 0xEA60;
    EXPECT_EQ(BoxPortNames(ports, other), std::vector<std::string>{"/dev/ttyUSB2"});

    SerialMatch named;
    named.portName = "/dev/ttyS0";
    EXPECT_EQ(BoxPortNames(ports, named), std::vector<std::string>{"/dev/ttyS0"});
    named.portName = "/dev/ttyS9";
    EXPECT_TRUE(BoxPortNames(ports, named).empty());
    EXPECT_TRUE(BoxPortNames({}, SerialMatch{}).empty());
}

TEST(SerialBridgeTest, BoxesKeepWhatTheSystemSaysOfThem) {
    // The same port listed twice (two names of one device) is one box.
    const std::vector<SerialPortInfo> ports = {
        {"/dev/ttyUSB1", true, 0x10C4, 0xEA61, "0002"},
        {"/dev/ttyACM0", true, 0x2341, 0x0043, "ARDUINO"},
        {"/dev/ttyUSB0", true, 0x10C4, 0xEA61, "0001"},
        {"/dev/ttyUSB1", true, 0x10C4, 0xEA61, "0002"},
    };
    const std::vector<SerialPortInfo> boxes = BoxPorts(ports, SerialMatch{});
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].name, "/dev/ttyUSB0");
    EXPECT_EQ(boxes[0].usbSerial, "0001");
    EXPECT_EQ(boxes[1].name, "/dev/ttyUSB1");
    EXPECT_EQ(boxes[1].usbSerial, "0002");
    EXPECT_EQ(boxes[1].vid, 0x10C4);
}

TEST(SerialBridgeTest, LineControlWords) {
    using P = LineSettings::Parity;
    struct Case {
        std::uint16_t word;
        std::optional<LineSettings> settings;
    };
    const Case cases[] = {
        {0x0800, LineSettings{8, P::None, 1}},
        {0x0802, LineSettings{8, P::None, 2}},
        {0x0710, LineSettings{7, P::Odd, 1}},
        {0x0820, LineSettings{8, P::Even, 1}},
        {0x0530, LineSettings{5, P::Mark, 1}},
        {0x0842, LineSettings{8, P::Space, 2}},
        {0x0801, std::nullopt},  // one and a half stop bits
        {0x0803, std::nullopt},
        {0x0850, std::nullopt},  // no such parity
        {0x0400, std::nullopt},  // four data bits
        {0x0900, std::nullopt},
        {0x0000, std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(DecodeLineControl(c.word), c.settings) << std::hex << c.word;
    }
}

TEST(SerialBridgeTest, FlowControlMasks) {
    struct Case {
        std::uint8_t cts, rts, dtr, dsr, dcd;
        bool xon;
        std::optional<FlowSettings> flow;
    };
    const Case cases[] = {
        {0, 0, 0, 0, 0, false, FlowSettings{false, false, false, false, false}},  // release reset
        {0, 0, 1, 0, 0, false, FlowSettings{false, false, true, false, false}},   // assert reset
        {0, 1, 0, 0, 0, false, FlowSettings{false, true, false, false, false}},   // line set-up
        {1, 0, 0, 1, 0, true, FlowSettings{true, false, false, true, true}},
        {0, 2, 0, 0, 0, false, std::nullopt},  // firmware-controlled RTS
        {0, 0, 3, 0, 0, false, std::nullopt},
        {2, 0, 0, 0, 0, false, std::nullopt},
        {0, 0, 0, 0, 1, false, std::nullopt},  // DCD handshake
    };
    for (const Case& c : cases) {
        EXPECT_EQ(DecodeFlowControl(c.cts, c.rts, c.dtr, c.dsr, c.dcd, c.xon), c.flow)
            << int(c.cts) << int(c.rts) << int(c.dtr) << int(c.dsr) << int(c.dcd);
    }
}

TEST(SerialBridgeTest, ModemStatusBitsAndErrorMapping) {
    EXPECT_EQ(ModemStatusFromSignals(true, false, false, false), 0x10);
    EXPECT_EQ(ModemStatusFromSignals(false, true, false, false), 0x20);
    EXPECT_EQ(ModemStatusFromSignals(false, false, false, true), 0x40);
    EXPECT_EQ(ModemStatusFromSignals(false, false, true, false), 0x80);
    EXPECT_EQ(ModemStatusFromSignals(false, false, false, false), 0x00);

    EXPECT_EQ(StatusFromSerialResult(0, kBridgeReadError), kBridgeOk);
    EXPECT_EQ(StatusFromSerialResult(12, kBridgeReadError), kBridgeOk) << "a byte count";
    EXPECT_EQ(StatusFromSerialResult(-1, kBridgeReadError), kBridgeInvalidParameter);
    EXPECT_EQ(StatusFromSerialResult(-2, kBridgeReadError), kBridgeReadError);
    EXPECT_EQ(StatusFromSerialResult(-2, kBridgeWriteError), kBridgeWriteError);
    EXPECT_EQ(StatusFromSerialResult(-3, kBridgeReadError), kBridgeSystemError);
    EXPECT_EQ(StatusFromSerialResult(-4, kBridgeReadError), kBridgeNotSupported);
}

// ---------------------------------------------------------------------------
// The bridge over a scripted driver: handles, arguments and failures.

constexpr int kErrArg = -1;
constexpr int kErrFail = -2;

class FakeDriver final : public SerialPortDriver {
  public:
    std::vector<SerialPortInfo> ports;
    std::vector<std::string> existing;
    int failWith = 0;  // every call fails with this when set (the port has vanished)
    std::vector<std::string> calls;
    std::vector<int> openPorts;
    std::vector<std::uint8_t> input;
    std::uint32_t lastTimeout = 12345;
    std::optional<LineSettings> line;
    std::optional<FlowSettings> flow;
    std::vector<std::string>* closesSeen = nullptr;  // outlives the driver

    std::vector<SerialPortInfo> ListPorts() override { return ports; }
    bool PortExists(const std::string& name) override {
        return std::find(existing.begin(), existing.end(), name) != existing.end();
    }
    int Open(const std::string& name) override {
        calls.push_back("open " + name);
        if (failWith != 0)
            return failWith;
        openPorts.push_back(m_next);
        return m_next++;
    }
    void Close(int port) override {
        calls.push_back("close " + std::to_string(port));
        if (closesSeen != nullptr)
            closesSeen->push_back("close " + std::to_string(port));
        openPorts.erase(std::remove(openPorts.begin(), openPorts.end(), port), openPorts.end());
    }
    int Read(int, std::uint8_t* buffer, std::uint32_t count, std::uint32_t timeoutMs) override {
        lastTimeout = timeoutMs;
        if (failWith != 0)
            return failWith;
        std::uint32_t n = std::min<std::uint32_t>(count, static_cast<std::uint32_t>(input.size()));
        std::copy_n(input.begin(), n, buffer);
        input.erase(input.begin(), input.begin() + n);
        return static_cast<int>(n);
    }
    int Write(int, const std::uint8_t*, std::uint32_t count, std::uint32_t timeoutMs) override {
        lastTimeout = timeoutMs;
        return failWith != 0 ? failWith : static_cast<int>(count);
    }
    int Flush(int, bool transmit, bool receive) override {
        calls.push_back(std::string("flush ") + (transmit ? "1" : "0") + (receive ? "1" : "0"));
        return failWith;
    }
    int InputWaiting(int) override {
        return failWith != 0 ? failWith : static_cast<int>(input.size());
    }
    int SetBaudRate(int, std::uint32_t baud) override {
        calls.push_back("baud " + std::to_string(baud));
        return failWith;
    }
    int SetLine(int, const LineSettings& settings) override {
        line = settings;
        return failWith;
    }
    int SetFlow(int, const FlowSettings& settings) override {
        flow = settings;
        return failWith;
    }
    int ModemStatus(int) override { return failWith != 0 ? failWith : 0x10; }

  private:
    int m_next = 3;
};

struct FakeRig {
    FakeRig() {
        auto owned = std::make_unique<FakeDriver>();
        driver = owned.get();
        driver->ports = {{"/dev/ttyUSB0", true, 0x10C4, 0xEA61}};
        bridge = std::make_unique<SerialBridge>(SerialMatch{}, std::move(owned));
    }
    DeviceHandle Open() {
        std::uint32_t count = 0;
        bridge->GetDeviceCount(count);
        DeviceHandle h = 0;
        EXPECT_EQ(bridge->Open(0, h), kBridgeOk);
        return h;
    }
    FakeDriver* driver = nullptr;
    std::unique_ptr<SerialBridge> bridge;
};

TEST(SerialBridgeDriverTest, CountsBoxesByIdOrByTheNamedPort) {
    FakeRig rig;
    rig.driver->ports.push_back({"/dev/ttyUSB1", true, 0x10C4, 0xEA61});
    std::uint32_t count = 0;
    EXPECT_EQ(rig.bridge->GetDeviceCount(count), kBridgeOk);
    EXPECT_EQ(count, 2u);

    auto owned = std::make_unique<FakeDriver>();
    FakeDriver* driver = owned.get();
    SerialMatch named;
    named.portName = "/dev/box";
    SerialBridge bridge(named, std::move(owned));
    bridge.GetDeviceCount(count);
    EXPECT_EQ(count, 0u);
    driver->existing = {"/dev/box"};
    bridge.GetDeviceCount(count);
    EXPECT_EQ(count, 1u);
    DeviceHandle h = 0;
    EXPECT_EQ(bridge.Open(0, h), kBridgeOk);
    EXPECT_EQ(driver->calls.back(), "open /dev/box");
}

TEST(SerialBridgeDriverTest, ASecondOpenOfTheSameBoxClosesTheFirstHandle) {
    FakeRig rig;
    DeviceHandle first = rig.Open();
    DeviceHandle second = rig.Open();
    EXPECT_NE(first, second);
    EXPECT_NE(second, 0u);
    EXPECT_EQ(rig.driver->openPorts, std::vector<int>{4}) << "the first port was closed";
    EXPECT_EQ(rig.bridge->OpenHandleCount(), 1u);
    std::uint8_t status = 0;
    EXPECT_EQ(rig.bridge->GetModemStatus(first, status), kBridgeInvalidHandle);
    EXPECT_EQ(rig.bridge->GetModemStatus(second, status), kBridgeOk);
    EXPECT_EQ(status, 0x10);
}

TEST(SerialBridgeDriverTest, TheBridgeClosesWhatIsStillOpenWhenItGoes) {
    auto owned = std::make_unique<FakeDriver>();
    FakeDriver* driver = owned.get();
    driver->ports = {{"/dev/ttyUSB0", true, 0x10C4, 0xEA61}};
    std::vector<std::string> closes;
    driver->closesSeen = &closes;
    {
        SerialBridge bridge(SerialMatch{}, std::move(owned));
        std::uint32_t count = 0;
        bridge.GetDeviceCount(count);
        DeviceHandle h = 0;
        ASSERT_EQ(bridge.Open(0, h), kBridgeOk);
        EXPECT_EQ(bridge.Close(h), kBridgeOk);
        EXPECT_EQ(bridge.Close(h), kBridgeInvalidHandle);
        ASSERT_EQ(bridge.Open(0, h), kBridgeOk);
        EXPECT_EQ(bridge.Open(1, h), kBridgeDeviceNotFound);
        EXPECT_EQ(closes, std::vector<std::string>{"close 3"});
    }
    EXPECT_EQ(closes, (std::vector<std::string>{"close 3", "close 4"}));
}

TEST(SerialBridgeDriverTest, ArgumentsReachThePortMapped) {
    FakeRig rig;
    DeviceHandle h = rig.Open();
    EXPECT_EQ(rig.bridge->SetLineControl(h, 0x0800), kBridgeOk);
    EXPECT_EQ(rig.driver->line, (LineSettings{8, LineSettings::Parity::None, 1}));
    EXPECT_EQ(rig.bridge->SetFlowControl(h, 0, 0, 1, 0, 0, false), kBridgeOk);
    EXPECT_EQ(rig.driver->flow, (FlowSettings{false, false, true, false, false}));
    EXPECT_EQ(rig.bridge->SetFlowControl(h, 0, 1, 0, 0, 0, false), kBridgeOk);
    EXPECT_EQ(rig.driver->flow, (FlowSettings{false, true, false, false, false}));
    EXPECT_EQ(rig.bridge->SetBaudRate(h, 500000), kBridgeOk);
    EXPECT_EQ(rig.driver->calls.back(), "baud 500000");
    EXPECT_EQ(rig.bridge->FlushBuffers(h, 1, 1), kBridgeOk);
    EXPECT_EQ(rig.driver->calls.back(), "flush 11");

    // Refused before they reach the port.
    rig.driver->calls.clear();
    EXPECT_EQ(rig.bridge->SetLineControl(h, 0x0801), kBridgeInvalidParameter);
    EXPECT_EQ(rig.bridge->SetFlowControl(h, 0, 2, 0, 0, 0, false), kBridgeInvalidParameter);
    EXPECT_EQ(rig.bridge->SetBaudRate(h, 0), kBridgeInvalidBaudRate);
    EXPECT_EQ(rig.bridge->SetBaudRate(h, 5'000'000), kBridgeInvalidBaudRate);
    EXPECT_TRUE(rig.driver->calls.empty());
    rig.driver->failWith = kErrArg;
    EXPECT_EQ(rig.bridge->SetBaudRate(h, 500001), kBridgeInvalidBaudRate)
        << "a rate the port cannot make";
}

TEST(SerialBridgeDriverTest, ReadsAndWritesUseTheTimeoutsAndReportWhatMoved) {
    FakeRig rig;
    DeviceHandle h = rig.Open();
    rig.driver->input = {'O', 'K'};
    std::uint8_t buffer[4] = {};
    std::uint32_t got = 0;
    EXPECT_EQ(rig.bridge->Read(h, buffer, 4, got), kBridgeOk) << "fewer than wanted: no failure";
    EXPECT_EQ(got, 2u);
    EXPECT_EQ(buffer[1], 'K');
    EXPECT_EQ(rig.driver->lastTimeout, 1000u) << "the bridge's default";

    rig.bridge->SetTimeouts(0, 250);
    EXPECT_EQ(rig.bridge->Read(h, buffer, 1, got), kBridgeOk);
    EXPECT_EQ(rig.driver->lastTimeout, 0u) << "0 reaches the driver as 'do not wait'";
    std::uint32_t written = 0;
    EXPECT_EQ(rig.bridge->Write(h, buffer, 3, written), kBridgeOk);
    EXPECT_EQ(written, 3u);
    EXPECT_EQ(rig.driver->lastTimeout, 250u);

    rig.driver->input = {1, 2, 3};
    std::uint32_t queued = 0;
    std::uint32_t queueStatus = 0;
    EXPECT_EQ(rig.bridge->CheckRxQueue(h, queued, queueStatus), kBridgeOk);
    EXPECT_EQ(queued, 3u);
    EXPECT_EQ(queueStatus, 2u);

    EXPECT_EQ(rig.bridge->Read(h, nullptr, 1, got), kBridgeInvalidParameter);
    EXPECT_EQ(rig.bridge->Write(h, nullptr, 1, written), kBridgeInvalidParameter);
}

TEST(SerialBridgeDriverTest, APortThatVanishedFailsEveryCallWithAStatus) {
    FakeRig rig;
    DeviceHandle h = rig.Open();
    rig.driver->failWith = kErrFail;
    std::uint8_t buffer[16] = {};
    std::uint32_t got = 9;
    EXPECT_EQ(rig.bridge->Read(h, buffer, 16, got), kBridgeReadError);
    EXPECT_EQ(got, 0u);
    std::uint32_t written = 9;
    EXPECT_EQ(rig.bridge->Write(h, buffer, 1, written), kBridgeWriteError);
    EXPECT_EQ(written, 0u);
    std::uint8_t status = kModemCts;
    EXPECT_EQ(rig.bridge->GetModemStatus(h, status), kBridgeIoFailed);
    EXPECT_EQ(status, kModemCts) << "left as preset: a lost box reads as busy";
    std::uint32_t queued = 0;
    std::uint32_t queueStatus = 0;
    EXPECT_EQ(rig.bridge->CheckRxQueue(h, queued, queueStatus), kBridgeIoFailed);
    EXPECT_EQ(rig.bridge->FlushBuffers(h, 1, 1), kBridgeIoFailed);
    EXPECT_EQ(rig.bridge->SetFlowControl(h, 0, 0, 1, 0, 0, false), kBridgeIoFailed);
    EXPECT_EQ(rig.bridge->Close(h), kBridgeOk) << "the handle is given up all the same";
    DeviceHandle again = 0;
    EXPECT_EQ(rig.bridge->Open(0, again), kBridgeDeviceNotFound);
    EXPECT_EQ(rig.bridge->OpenHandleCount(), 0u);
}

TEST(SerialBridgeDriverTest, TheLibSerialPortDriverRefusesAPortThatIsNotThere) {
    auto driver = MakeLibSerialPortDriver();
    EXPECT_FALSE(driver->PortExists("/dev/o8r-no-such-port"));
    EXPECT_LT(driver->Open("/dev/o8r-no-such-port"), 0);
    std::uint8_t buffer[1];
    EXPECT_LT(driver->Read(0, buffer, 1, 10), 0) << "no port 0 is open";
    driver->Close(0);  // harmless
}

#endif  // O8R_HAVE_SERIAL

}  // namespace
}  // namespace o8r::test
