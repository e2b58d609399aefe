// The tracing bridge: one line per call in the exact form users and golden
// traces rely on, the call passed through unchanged, and failures marked.

#include <gtest/gtest.h>

#include <functional>
#include <sstream>
#include <string>

#include "core/link/TracingBridge.h"

namespace o8r::test {
namespace {

// A bridge that answers from fixed values and fails when told to.
class ScriptedBridge final : public Bridge {
  public:
    BridgeStatus status = kBridgeOk;
    std::uint32_t count = 1;
    DeviceHandle nextHandle = 0x5000;
    std::vector<std::uint8_t> readBytes;
    std::uint32_t writeReports = 0xFFFFFFFF;  // all asked, unless set
    std::uint32_t queued = 3;
    std::uint8_t modem = 0x10;
    std::vector<std::string> seen;

    BridgeStatus GetDeviceCount(std::uint32_t& c) override {
        if (status == kBridgeOk)
            c = count;
        return status;
    }
    BridgeStatus Open(std::uint32_t index, DeviceHandle& h) override {
        seen.push_back("open " + std::to_string(index));
        if (status == kBridgeOk)
            h = nextHandle++;
        return status;
    }
    BridgeStatus Close(DeviceHandle h) override {
        seen.push_back("close " + std::to_string(h));
        return status;
    }
    BridgeStatus Read(DeviceHandle, std::uint8_t* buffer, std::uint32_t wanted,
                      std::uint32_t& got) override {
        got = std::min<std::uint32_t>(wanted, static_cast<std::uint32_t>(readBytes.size()));
        std::copy_n(readBytes.begin(), got, buffer);
        return status;
    }
    BridgeStatus Write(DeviceHandle, const std::uint8_t*, std::uint32_t n,
                       std::uint32_t& written) override {
        written = writeReports == 0xFFFFFFFF ? n : writeReports;
        return status;
    }
    BridgeStatus FlushBuffers(DeviceHandle, std::uint8_t, std::uint8_t) override { return status; }
    BridgeStatus SetTimeouts(std::uint32_t, std::uint32_t) override { return status; }
    BridgeStatus CheckRxQueue(DeviceHandle, std::uint32_t& q, std::uint32_t& s) override {
        q = queued;
        s = queued > 0 ? 2 : 0;
        return status;
    }
    BridgeStatus SetBaudRate(DeviceHandle, std::uint32_t) override { return status; }
    BridgeStatus SetLineControl(DeviceHandle, std::uint16_t) override { return status; }
    BridgeStatus SetFlowControl(DeviceHandle, std::uint8_t, std::uint8_t, std::uint8_t,
                                std::uint8_t, std::uint8_t, bool) override {
        return status;
    }
    BridgeStatus GetModemStatus(DeviceHandle, std::uint8_t& s) override {
        s = modem;
        return status;
    }
};

struct Case {
    const char* line;
    std::function<void(Bridge&, ScriptedBridge&)> call;
};

std::string TraceOf(const Case& c, BridgeStatus status) {
    ScriptedBridge inner;
    std::ostringstream out;
    TracingBridge tracing(inner, out);
    DeviceHandle handle = 0;
    tracing.Open(0, handle);  // so that handle 0x5000 is known as 0
    out.str("");
    inner.status = status;
    c.call(tracing, inner);
    return out.str();
}

TEST(TracingBridgeTest, EveryOperationHasItsLine) {
    const Case cases[] = {
        {"count -> 1",
         [](Bridge& b, ScriptedBridge&) {
             std::uint32_t n = 0;
             b.GetDeviceCount(n);
         }},
        {"open 0 -> 1",
         [](Bridge& b, ScriptedBridge&) {
             DeviceHandle h = 0;
             b.Open(0, h);
         }},
        {"close -> 0", [](Bridge& b, ScriptedBridge&) { b.Close(0x5000); }},
        {"write 3 4500FF -> 3",
         [](Bridge& b, ScriptedBridge&) {
             const std::uint8_t bytes[] = {0x45, 0x00, 0xFF};
             std::uint32_t w = 0;
             b.Write(0x5000, bytes, 3, w);
         }},
        {"write 7 FFFFFFFFFFFFFF -> 6",
         [](Bridge& b, ScriptedBridge& s) {
             const std::uint8_t bytes[7] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
             s.writeReports = 6;
             std::uint32_t w = 0;
             b.Write(0x5000, bytes, 7, w);
         }},
        {"read 2 -> 4FAB",
         [](Bridge& b, ScriptedBridge& s) {
             s.readBytes = {0x4F, 0xAB};
             std::uint8_t buffer[2];
             std::uint32_t got = 0;
             b.Read(0x5000, buffer, 2, got);
         }},
        {"read 256 -> 0A",
         [](Bridge& b, ScriptedBridge& s) {
             s.readBytes = {0x0A};
             std::uint8_t buffer[256];
             std::uint32_t got = 0;
             b.Read(0x5000, buffer, 256, got);
         }},
        {"read 1 ->",
         [](Bridge& b, ScriptedBridge&) {
             std::uint8_t buffer[1];
             std::uint32_t got = 0;
             b.Read(0x5000, buffer, 1, got);
         }},
        {"flush 1 1", [](Bridge& b, ScriptedBridge&) { b.FlushBuffers(0x5000, 1, 1); }},
        {"flush 0 1", [](Bridge& b, ScriptedBridge&) { b.FlushBuffers(0x5000, 0, 1); }},
        {"timeouts 1000 1000", [](Bridge& b, ScriptedBridge&) { b.SetTimeouts(1000, 1000); }},
        {"queue -> 3",
         [](Bridge& b, ScriptedBridge&) {
             std::uint32_t q = 0;
             std::uint32_t s = 0;
             b.CheckRxQueue(0x5000, q, s);
         }},
        {"baud 500000", [](Bridge& b, ScriptedBridge&) { b.SetBaudRate(0x5000, 500000); }},
        {"baud 19200", [](Bridge& b, ScriptedBridge&) { b.SetBaudRate(0x5000, 19200); }},
        {"line 0800", [](Bridge& b, ScriptedBridge&) { b.SetLineControl(0x5000, 0x0800); }},
        {"line 0A1F", [](Bridge& b, ScriptedBridge&) { b.SetLineControl(0x5000, 0x0A1F); }},
        {"flow 0 1 0 0 0 0",
         [](Bridge& b, ScriptedBridge&) { b.SetFlowControl(0x5000, 0, 1, 0, 0, 0, false); }},
        {"flow 1 0 1 1 1 1",
         [](Bridge& b, ScriptedBridge&) { b.SetFlowControl(0x5000, 1, 0, 1, 1, 1, true); }},
        {"modem -> 10",
         [](Bridge& b, ScriptedBridge&) {
             std::uint8_t m = 0;
             b.GetModemStatus(0x5000, m);
         }},
        {"modem -> 0A",
         [](Bridge& b, ScriptedBridge& s) {
             s.modem = 0x0A;
             std::uint8_t m = 0;
             b.GetModemStatus(0x5000, m);
         }},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(TraceOf(c, kBridgeOk), std::string(c.line) + "\n");
    }
}

TEST(TracingBridgeTest, AFailingCallEndsWithItsStatusInDecimal) {
    const Case cases[] = {
        {"count -> 0 !255",
         [](Bridge& b, ScriptedBridge&) {
             std::uint32_t n = 0;
             b.GetDeviceCount(n);
         }},
        {"open 0 -> ? !255",
         [](Bridge& b, ScriptedBridge&) {
             DeviceHandle h = 0;
             b.Open(0, h);
         }},
        {"close -> 0 !255", [](Bridge& b, ScriptedBridge&) { b.Close(0x5000); }},
        {"write 1 43 -> 0 !255",
         [](Bridge& b, ScriptedBridge& s) {
             const std::uint8_t bytes[] = {0x43};
             s.writeReports = 0;
             std::uint32_t w = 0;
             b.Write(0x5000, bytes, 1, w);
         }},
        {"read 1 -> !255",
         [](Bridge& b, ScriptedBridge&) {
             std::uint8_t buffer[1];
             std::uint32_t got = 0;
             b.Read(0x5000, buffer, 1, got);
         }},
        {"baud 500000 !255", [](Bridge& b, ScriptedBridge&) { b.SetBaudRate(0x5000, 500000); }},
        {"modem -> 10 !255",
         [](Bridge& b, ScriptedBridge&) {
             std::uint8_t m = 0x10;  // callers preset CTS high
             b.GetModemStatus(0x5000, m);
         }},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(TraceOf(c, 255), std::string(c.line) + "\n");
    }
}

TEST(TracingBridgeTest, HandlesAreNumberedInTheOrderTheyWereHandedOut) {
    ScriptedBridge inner;
    std::ostringstream out;
    TracingBridge tracing(inner, out);
    DeviceHandle first = 0;
    DeviceHandle second = 0;
    tracing.Open(0, first);
    tracing.Open(0, second);  // a second open without a close
    tracing.Close(second);
    tracing.Close(first);
    tracing.Close(0);  // never handed out
    EXPECT_EQ(out.str(), "open 0 -> 0\nopen 0 -> 1\nclose -> 1\nclose -> 0\nclose -> ?\n");
    EXPECT_EQ(inner.seen, (std::vector<std::string>{"open 0", "open 0", "close 20481",
                                                    "close 20480", "close 0"}))
        << "the real handles reach the inner bridge";
}

TEST(TracingBridgeTest, ResultsPassThroughUnchanged) {
    ScriptedBridge inner;
    inner.readBytes = {1, 2, 3};
    inner.status = 13;
    std::ostringstream out;
    TracingBridge tracing(inner, out);
    std::uint8_t buffer[3] = {};
    std::uint32_t got = 0;
    EXPECT_EQ(tracing.Read(7, buffer, 3, got), 13u);
    EXPECT_EQ(got, 3u);
    EXPECT_EQ(buffer[2], 3);
    std::uint32_t queued = 0;
    std::uint32_t queueStatus = 0;
    tracing.CheckRxQueue(7, queued, queueStatus);
    EXPECT_EQ(queueStatus, 2u);
}

}  // namespace
}  // namespace o8r::test
