// The Windows bridge to SiUSBXp.dll: the ordinal table and status mapping on
// every platform; on Windows (under Wine in CI) the real bridge over the
// stand-in library made from the simulated box, and over libraries that
// cannot be used.

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "core/link/SiUsbXpTable.h"

#ifdef O8R_STANDIN_DIR
#include "bridges/SiUsbXpBridge.h"
#endif

namespace o8r::test {
namespace {

TEST(SiUsbXpTableTest, BindsTwelveDistinctOrdinalsInSlotOrder) {
    std::set<std::uint16_t> ordinals;
    for (std::size_t i = 0; i < kSiUsbXpOrdinals.size(); ++i) {
        EXPECT_EQ(static_cast<std::size_t>(kSiUsbXpOrdinals[i].function), i);
        ordinals.insert(kSiUsbXpOrdinals[i].ordinal);
    }
    EXPECT_EQ(ordinals, (std::set<std::uint16_t>{1, 3, 4, 6, 7, 9, 10, 12, 13, 15, 16, 17}));
}

TEST(SiUsbXpTableTest, MapsLibraryStatusesAndNeverInventsSuccess) {
    const struct {
        std::int32_t library;
        BridgeStatus bridge;
    } cases[] = {
        {0x00, kBridgeOk},
        {0x01, kBridgeInvalidHandle},
        {0x02, kBridgeReadError},
        {0x03, kBridgeReadError},
        {0x0D, kBridgeReadError},
        {0x04, kBridgeWriteError},
        {0x0E, kBridgeWriteError},
        {0x05, kBridgeIoFailed},
        {0x06, kBridgeInvalidParameter},
        {0x07, kBridgeInvalidParameter},
        {0x08, kBridgeIoFailed},
        {0x09, kBridgeInvalidBaudRate},
        {0x0A, kBridgeNotSupported},
        {0x0B, kBridgeSystemError},
        {0x0C, kBridgeSystemError},
        {0x0F, kBridgeIoFailed},
        {0xFF, kBridgeDeviceNotFound},
        {0x10, kBridgeSystemError},
        {-1, kBridgeSystemError},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(BridgeStatusFromSiUsbXp(c.library), c.bridge) << "library status " << c.library;
    }
}

TEST(SiUsbXpTableTest, LoadErrorsNameTheFileAndTheOrdinal) {
    EXPECT_EQ(
        SiUsbXpLoadError("C:\\box\\SiUSBXp.dll", 0, "The specified module could not be found"),
        "Can not load C:\\box\\SiUSBXp.dll (The specified module could not be found). The "
        "box's driver package provides SiUSBXp.dll: put it beside the program.");
    EXPECT_EQ(SiUsbXpLoadError("C:\\box\\SiUSBXp.dll", 16, {}),
              "C:\\box\\SiUSBXp.dll has no function with ordinal 16 (set flow control); it is "
              "not the box's USB bridge library.");
}

#ifdef O8R_STANDIN_DIR

std::string StandIn(const char* variant) {
    return std::string(O8R_STANDIN_DIR) + "/" + variant + "/SiUSBXp.dll";
}

TEST(SiUsbXpBridgeTest, RefusesLibrariesThatCannotBeUsed) {
    std::string error;
    EXPECT_EQ(SiUsbXpBridge::Load(error, StandIn("none")), nullptr);
    EXPECT_NE(error.find("Can not load "), std::string::npos) << error;
    EXPECT_NE(error.find("none"), std::string::npos) << error;

    error.clear();
    EXPECT_EQ(SiUsbXpBridge::Load(error, StandIn("partial")), nullptr);
    EXPECT_NE(error.find("has no function with ordinal 16 (set flow control)"), std::string::npos)
        << error;
    EXPECT_NE(error.find("SiUSBXp.dll"), std::string::npos) << error;
}

TEST(SiUsbXpBridgeTest, TalksToTheBoxThroughSmallHandleNumbers) {
    std::string error;
    auto bridge = SiUsbXpBridge::Load(error, StandIn("full"));
    ASSERT_NE(bridge, nullptr) << error;

    std::uint32_t count = 0;
    EXPECT_EQ(bridge->GetDeviceCount(count), kBridgeOk);
    EXPECT_EQ(count, 1u);

    // The library's handle is above 4 GB on 64-bit Windows; ours starts at 1.
    DeviceHandle handle = 0;
    ASSERT_EQ(bridge->Open(0, handle), kBridgeOk);
    EXPECT_EQ(handle, 1u);
    EXPECT_EQ(bridge->OpenHandleCount(), 1u);

    EXPECT_EQ(bridge->SetTimeouts(1000, 1000), kBridgeOk);
    EXPECT_EQ(bridge->SetFlowControl(handle, 0, 0, 0, 0, 0, false), kBridgeOk);
    EXPECT_EQ(bridge->SetBaudRate(handle, 500000), kBridgeOk);
    EXPECT_EQ(bridge->SetLineControl(handle, kLineControl8N1), kBridgeOk);
    EXPECT_EQ(bridge->FlushBuffers(handle, 1, 1), kBridgeOk);
    std::uint8_t modem = kModemCts;
    EXPECT_EQ(bridge->GetModemStatus(handle, modem), kBridgeOk);
    std::uint32_t queued = 0;
    std::uint32_t queueStatus = 2;
    EXPECT_EQ(bridge->CheckRxQueue(handle, queued, queueStatus), kBridgeOk);
    EXPECT_EQ(queued, 0u);

    // A number never handed out reaches no library call.
    std::uint8_t byte = 0;
    std::uint32_t moved = 7;
    EXPECT_EQ(bridge->Read(0, &byte, 1, moved), kBridgeInvalidHandle);
    EXPECT_EQ(moved, 0u);
    EXPECT_EQ(bridge->Write(2, &byte, 1, moved), kBridgeInvalidHandle);
    modem = kModemCts;
    EXPECT_EQ(bridge->GetModemStatus(2, modem), kBridgeInvalidHandle);
    EXPECT_EQ(modem, kModemCts);  // a failed query leaves CTS high

    EXPECT_EQ(bridge->Close(handle), kBridgeOk);
    EXPECT_EQ(bridge->OpenHandleCount(), 0u);
    EXPECT_EQ(bridge->Close(handle), kBridgeInvalidHandle);

    // A second open gets a fresh number, never 0.
    ASSERT_EQ(bridge->Open(0, handle), kBridgeOk);
    EXPECT_EQ(handle, 2u);
}

#endif  // O8R_STANDIN_DIR

}  // namespace
}  // namespace o8r::test
