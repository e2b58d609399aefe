#include "support/SimRig.h"

#include <gtest/gtest.h>

#include "core/image/PageChecksum.h"

namespace o8r::test {

void ExpectNoViolations(const SimulatedBox& box) {
    for (const std::string& violation : box.Violations())
        ADD_FAILURE() << "protocol violation: " << violation;
}

SimRig::SimRig(SimOptions options) : box(clock, std::move(options)) {}

void SimRig::Attach(std::uint32_t baud) {
    ASSERT_EQ(box.Open(0, handle), kBridgeOk);
    AssertReset();
    clock.Advance(kNsPerMs);
    ReleaseReset();
    ASSERT_EQ(box.SetBaudRate(handle, baud), kBridgeOk);
    ASSERT_EQ(box.SetLineControl(handle, kLineControl8N1), kBridgeOk);
    ASSERT_EQ(box.SetFlowControl(handle, 0, 1, 0, 0, 0, false), kBridgeOk);
    clock.Advance(box.Options().timings.bootNs);
}

void SimRig::AssertReset() {
    EXPECT_EQ(box.SetFlowControl(handle, 0, 0, 1, 0, 0, false), kBridgeOk);
}

void SimRig::ReleaseReset() {
    EXPECT_EQ(box.SetFlowControl(handle, 0, 0, 0, 0, 0, false), kBridgeOk);
}

std::uint32_t SimRig::Send(const Bytes& bytes) {
    std::uint32_t written = 0;
    box.Write(handle, bytes.data(), static_cast<std::uint32_t>(bytes.size()), written);
    return written;
}

bool SimRig::CtsHigh() {
    std::uint8_t status = kModemCts;
    box.GetModemStatus(handle, status);
    return (status & kModemCts) != 0;
}

std::uint32_t SimRig::Queued() {
    std::uint32_t queued = 0;
    std::uint32_t queueStatus = 0;
    box.CheckRxQueue(handle, queued, queueStatus);
    return queued;
}

Bytes SimRig::Read(std::uint32_t wanted) {
    Bytes buffer(wanted);
    std::uint32_t got = 0;
    box.Read(handle, buffer.data(), wanted, got);
    buffer.resize(got);
    return buffer;
}

void SimRig::WaitReady() {
    for (int i = 0; i < 100'000 && CtsHigh(); ++i)
        clock.Advance(100'000);
}

std::vector<std::string> SimRig::TakeViolations() {
    std::vector<std::string> violations = box.Violations();
    box.ClearViolations();
    return violations;
}

bool SimRig::Unlock(const std::array<std::uint8_t, 7>& code) {
    Send({'C'});
    if (Answer(1) != Bytes{'O'})
        return false;
    Send({'U'});
    Send(Bytes(code.begin(), code.end()));
    return Answer(1) == Bytes{'O'};
}

PageRecord MakeRecord(std::uint16_t page, const Bytes& data) {
    PageRecord record{};
    record[0] = static_cast<std::uint8_t>(page & 0xFF);
    record[1] = static_cast<std::uint8_t>(page >> 8);
    std::copy(data.begin(), data.begin() + 256, record.begin() + 4);
    std::uint16_t sum = PageChecksum(record.data() + 4, 256);
    record[2] = static_cast<std::uint8_t>(sum & 0xFF);
    record[3] = static_cast<std::uint8_t>(sum >> 8);
    return record;
}

PageRecord FilledRecord(std::uint16_t page, std::uint8_t value) {
    return MakeRecord(page, Bytes(256, value));
}

Bytes RecordBytes(const PageRecord& record) {
    return Bytes(record.begin(), record.end());
}

Bytes Le16Bytes(std::uint16_t value) {
    return {static_cast<std::uint8_t>(value & 0xFF), static_cast<std::uint8_t>(value >> 8)};
}

}  // namespace o8r::test
