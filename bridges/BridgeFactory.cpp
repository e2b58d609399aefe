#include "bridges/BridgeFactory.h"

#include <filesystem>
#include <iostream>
#include <system_error>

#include "platform/Utf8Path.h"
#include "sim/SimulatedBox.h"
#include "sim/StateFileLock.h"

#ifdef O8R_HAVE_SERIAL
#include "bridges/SerialBridge.h"
#endif
#ifdef O8R_HAVE_SIUSBXP
#include "bridges/SiUsbXpBridge.h"
#include "core/link/SiUsbXpTable.h"
#endif

namespace o8r {

namespace {

// A simulated box that lives in a state file between runs.
class PersistentSimBox final : public Bridge, public ViolationSource {
  public:
    PersistentSimBox(Clock& clock, const SimOptions& options, std::string path)
        : m_box(clock, options), m_path(std::move(path)) {}

    ~PersistentSimBox() override {
        // A file that could not be read is left as it is, never overwritten.
        if (!m_loaded || m_saved)
            return;
        std::string error;
        if (!Save(error)) {
            std::cerr << "simulated box: its state was not saved: " << error << std::endl;
        }
    }

    bool Load(std::chrono::milliseconds wait, std::string& error) {
        // Held until the state is written back: no other run reads it meanwhile.
        m_lock = LockStateFile(m_path, wait, error);
        if (!m_lock)
            return false;
        std::error_code ec;
        bool exists = std::filesystem::exists(PathFromUtf8(m_path), ec);
        if (ec) {
            error = "cannot look for '" + m_path + "': " + ec.message();
            return false;
        }
        if (!exists) {
            m_loaded = true;  // a new box
            return true;
        }
        if (!m_box.LoadState(m_path, error) || !KeepsItsTarget(error))
            return false;
        m_loaded = true;
        return true;
    }

    bool Save(std::string& error) {
        m_saved = true;
        return m_box.SaveState(m_path, error);
    }

    BridgeStatus GetDeviceCount(std::uint32_t& count) override {
        return m_box.GetDeviceCount(count);
    }
    BridgeStatus Open(std::uint32_t deviceIndex, DeviceHandle& handle) override {
        return m_box.Open(deviceIndex, handle);
    }
    BridgeStatus Close(DeviceHandle handle) override { return m_box.Close(handle); }
    BridgeStatus Read(DeviceHandle handle, std::uint8_t* buffer, std::uint32_t wanted,
                      std::uint32_t& got) override {
        return m_box.Read(handle, buffer, wanted, got);
    }
    BridgeStatus Write(DeviceHandle handle, const std::uint8_t* buffer, std::uint32_t count,
                       std::uint32_t& written) override {
        return m_box.Write(handle, buffer, count, written);
    }
    BridgeStatus FlushBuffers(DeviceHandle handle, std::uint8_t flushTransmit,
                              std::uint8_t flushReceive) override {
        return m_box.FlushBuffers(handle, flushTransmit, flushReceive);
    }
    BridgeStatus SetTimeouts(std::uint32_t readMs, std::uint32_t writeMs) override {
        return m_box.SetTimeouts(readMs, writeMs);
    }
    BridgeStatus CheckRxQueue(DeviceHandle handle, std::uint32_t& bytesQueued,
                              std::uint32_t& queueStatus) override {
        return m_box.CheckRxQueue(handle, bytesQueued, queueStatus);
    }
    BridgeStatus SetBaudRate(DeviceHandle handle, std::uint32_t baud) override {
        return m_box.SetBaudRate(handle, baud);
    }
    BridgeStatus SetLineControl(DeviceHandle handle, std::uint16_t lineControl) override {
        return m_box.SetLineControl(handle, lineControl);
    }
    BridgeStatus SetFlowControl(DeviceHandle handle, std::uint8_t ctsMask, std::uint8_t rtsMask,
                                std::uint8_t dtrMask, std::uint8_t dsrMask, std::uint8_t dcdMask,
                                bool xonXoff) override {
        return m_box.SetFlowControl(handle, ctsMask, rtsMask, dtrMask, dsrMask, dcdMask, xonXoff);
    }
    BridgeStatus GetModemStatus(DeviceHandle handle, std::uint8_t& status) override {
        return m_box.GetModemStatus(handle, status);
    }
    BridgeStatus WaitForAnswer(DeviceHandle handle, AnswerSignal signal,
                               std::uint64_t maxWaitNs) override {
        return m_box.WaitForAnswer(handle, signal, maxWaitNs);
    }
    std::vector<std::string> TakeNewViolations() override { return m_box.TakeNewViolations(); }

  private:
    // A box kept in a file has its target already: the switches that make a
    // new one are refused unless the target is as they would make it.
    bool KeepsItsTarget(std::string& error) {
        const SimFaults& faults = m_box.Options().faults;
        const std::string kept =
            "the simulated box kept in '" + m_path + "' has its target already";
        if (faults.protectedCode && m_box.Target().IdCode() != *faults.protectedCode) {
            error = kept +
                    ": a protected target (--sim-protect, protected:HEX) is made only in a "
                    "new state file";
            return false;
        }
        if (faults.loaderLocked) {
            const auto& memory = m_box.Loader().Memory();
            for (std::uint32_t address : SimLoader::kIdAddresses) {
                if (memory[address - SimLoader::kStart] != 0x00) {
                    error = kept +
                            ": a locked loader (loader-locked) is made only in a new state "
                            "file";
                    return false;
                }
            }
        }
        return true;
    }

    SimulatedBox m_box;
    std::string m_path;
    std::unique_ptr<FileLock> m_lock;
    bool m_loaded = false;
    bool m_saved = false;
};

}  // namespace

bool SaveBoxState(Bridge& bridge, std::string& error) {
    auto* kept = dynamic_cast<PersistentSimBox*>(&bridge);
    return kept == nullptr || kept->Save(error);
}

std::optional<BoxChoice> ParseBoxChoice(std::string_view text, std::string& error) {
    BoxChoice choice;
    constexpr std::string_view kSerialPrefix = "serial:";
    if (text == "auto") {
        choice.kind = BoxChoice::Kind::Auto;
    } else if (text == "sim") {
        choice.kind = BoxChoice::Kind::Sim;
    } else if (text.substr(0, kSerialPrefix.size()) == kSerialPrefix &&
               text.size() > kSerialPrefix.size()) {
        choice.kind = BoxChoice::Kind::Serial;
        choice.port = std::string(text.substr(kSerialPrefix.size()));
    } else {
        error = "unknown box '" + std::string(text) +
                "': use auto (every real box found), sim (the simulated box) or serial:PORT";
        return std::nullopt;
    }
    return choice;
}

std::unique_ptr<Bridge> MakeBridge(const BoxChoice& choice, Clock& clock, std::string& error) {
    switch (choice.kind) {
        case BoxChoice::Kind::Sim: {
            if (choice.simStatePath.empty()) {
                return std::make_unique<SimulatedBox>(clock, choice.sim);
            }
            auto box = std::make_unique<PersistentSimBox>(clock, choice.sim, choice.simStatePath);
            if (!box->Load(choice.simStateWait, error))
                return nullptr;
            return box;
        }
        case BoxChoice::Kind::Auto:
        case BoxChoice::Kind::Serial: {
#if defined(O8R_HAVE_SIUSBXP)
            if (choice.kind == BoxChoice::Kind::Auto)
                return SiUsbXpBridge::Load(error);
            error = "serial:PORT is not available on Windows: the box is reached through " +
                    std::string(kSiUsbXpLibrary) + " (--box auto)";
            return nullptr;
#elif defined(O8R_HAVE_SERIAL)
            SerialMatch match;
            if (choice.kind == BoxChoice::Kind::Serial)
                match.portName = choice.port;
            return std::make_unique<SerialBridge>(match);
#else
            error =
                "this program was built without support for real boxes; only the simulated "
                "box (sim) is available";
            return nullptr;
#endif
        }
    }
    error = "unknown box choice";
    return nullptr;
}

std::optional<std::vector<FoundBox>> FindBoxes(std::string& error) {
#if defined(O8R_HAVE_SERIAL) && !defined(O8R_HAVE_SIUSBXP)
    error.clear();
    std::vector<FoundBox> boxes;
    for (const SerialPortInfo& port : BoxPorts(MakeLibSerialPortDriver()->ListPorts(), {}))
        boxes.push_back(FoundBox{port.name, port.usbSerial, port.vid, port.pid});
    return boxes;
#elif defined(O8R_HAVE_SIUSBXP)
    error = "listing every box is not available on Windows";
    return std::nullopt;
#else
    error = "this program was built without support for real boxes";
    return std::nullopt;
#endif
}

}  // namespace o8r
