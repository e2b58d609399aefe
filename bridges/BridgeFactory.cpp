#include "bridges/BridgeFactory.h"

#include <filesystem>
#include <iostream>
#include <system_error>

#include "core/protocol/ForwardingBridge.h"
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
class PersistentSimBox final : public ForwardingBridge, public ViolationSource {
  public:
    PersistentSimBox(Clock& clock, const SimOptions& options, std::string path)
        : ForwardingBridge(m_box), m_box(clock, options), m_path(std::move(path)) {}

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
    } else if (constexpr std::string_view kUsbPrefix = "usbxpress:";
               text.substr(0, kUsbPrefix.size()) == kUsbPrefix && text.size() > kUsbPrefix.size()) {
        choice.kind = BoxChoice::Kind::UsbXpress;
        const std::string_view which = text.substr(kUsbPrefix.size());
        // A number without leading zeros is an index; "0001" is a serial number.
        const bool index = which.size() <= 4 &&
                           which.find_first_not_of("0123456789") == std::string_view::npos &&
                           (which.size() == 1 || which[0] != '0');
        if (index)
            choice.usbIndex = static_cast<std::uint32_t>(std::stoul(std::string(which)));
        else
            choice.usbSerial = std::string(which);
    } else {
        error = "unknown box '" + std::string(text) +
                "': use auto (the one real box attached), sim (the simulated box), "
                "serial:PORT or usbxpress:INDEX|SERIAL";
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
        case BoxChoice::Kind::Serial:
        case BoxChoice::Kind::UsbXpress: {
#if defined(O8R_HAVE_SIUSBXP)
            if (choice.kind == BoxChoice::Kind::Auto)
                return SiUsbXpBridge::Load(error);
            if (choice.kind == BoxChoice::Kind::UsbXpress) {
                auto bridge = SiUsbXpBridge::Load(error);
                if (!bridge)
                    return nullptr;
                if (choice.usbIndex) {
                    bridge->SelectBox(*choice.usbIndex);
                } else if (bridge->HasProductStrings()) {
                    bridge->SelectBox(choice.usbSerial);
                } else {
                    error = bridge->Path() +
                            " gives no serial numbers (it has no SI_GetProductString): choose "
                            "the box by its index, usbxpress:0, usbxpress:1, ...";
                    return nullptr;
                }
                return bridge;
            }
            error = "serial:PORT is not available on Windows: the box is reached through " +
                    std::string(kSiUsbXpLibrary) + " (--box auto)";
            return nullptr;
#elif defined(O8R_HAVE_SERIAL)
            if (choice.kind == BoxChoice::Kind::UsbXpress) {
                error =
                    "usbxpress:INDEX|SERIAL is a Windows choice; here the box is on a "
                    "serial port: --box auto or serial:PORT (o8rprog detect --all lists them)";
                return nullptr;
            }
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

std::string BoxChoiceFor(const FoundBox& box) {
    if (box.port.rfind("usbxpress:", 0) == 0)
        return box.usbSerial.empty() ? box.port : "usbxpress:" + box.usbSerial;
    return "serial:" + box.port;
}

std::optional<std::vector<FoundBox>> FindBoxes(std::string& error) {
#if defined(O8R_HAVE_SERIAL) && !defined(O8R_HAVE_SIUSBXP)
    error.clear();
    std::vector<FoundBox> boxes;
    for (const SerialPortInfo& port : BoxPorts(MakeLibSerialPortDriver()->ListPorts(), {}))
        boxes.push_back(FoundBox{port.name, port.usbSerial, port.vid, port.pid});
    return boxes;
#elif defined(O8R_HAVE_SIUSBXP)
    auto bridge = SiUsbXpBridge::Load(error);
    if (!bridge)
        return std::nullopt;
    const auto count = bridge->AllDevices();
    if (!count) {
        error = bridge->Path() + " could not count the boxes";
        return std::nullopt;
    }
    error.clear();
    std::vector<FoundBox> boxes;
    for (std::uint32_t index = 0; index < *count; ++index) {
        FoundBox box;
        box.port = "usbxpress:" + std::to_string(index);
        box.usbSerial = bridge->ProductString(index, 0).value_or("");
        box.product = bridge->ProductString(index, 1).value_or("");
        const auto hex = [&](std::uint32_t flag) {
            const std::string text = bridge->ProductString(index, flag).value_or("");
            const bool valid =
                !text.empty() && text.size() <= 4 &&
                text.find_first_not_of("0123456789ABCDEFabcdef") == std::string::npos;
            return valid ? static_cast<int>(std::stoul(text, nullptr, 16)) : -1;
        };
        box.vid = hex(3);
        box.pid = hex(4);
        boxes.push_back(std::move(box));
    }
    return boxes;
#else
    error = "this program was built without support for real boxes";
    return std::nullopt;
#endif
}

}  // namespace o8r
