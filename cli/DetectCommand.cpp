// o8rprog detect: whether exactly one box is there, and in which mode; with
// --all, every box attached.

#include <algorithm>
#include <cstdio>
#include <iostream>

#include "bridges/BridgeFactory.h"
#include "cli/CommandSession.h"
#include "cli/Commands.h"
#include "cli/ExitStatus.h"
#include "cli/RunOutput.h"
#include "sim/SimFaults.h"

namespace o8r::cli {

namespace {

std::string UsbId(const FoundBox& box) {
    if (box.vid < 0 || box.pid < 0)
        return "-";
    // USB ids are 16 bits; the mask tells the compiler so.
    char text[16];
    std::snprintf(text, sizeof text, "%04x:%04x", static_cast<unsigned>(box.vid) & 0xFFFFu,
                  static_cast<unsigned>(box.pid) & 0xFFFFu);
    return text;
}

// One row per box: port, USB serial number, VID:PID, in columns.
int ListEveryBox(const GlobalOptions& global) {
    std::vector<FoundBox> boxes;
    if (global.box == "sim") {
        // As many simulated boxes as its faults attach (absent, two-boxes,
        // the first count of count-sequence).
        SimOptions sim;
        for (const std::string& fault : global.simFaults)
            if (const std::string problem = ParseSimFault(fault, sim); !problem.empty())
                throw UsageError("--sim-fault: " + problem);
        const std::uint32_t count = sim.faults.countSequence.empty()
                                        ? sim.faults.deviceCount
                                        : sim.faults.countSequence.front();
        for (std::uint32_t i = 1; i <= count; ++i)
            boxes.push_back(FoundBox{count == 1 ? "sim" : "sim:" + std::to_string(i),
                                     global.simSerial, -1, -1});
    } else {
        std::string error;
        auto found = FindBoxes(error);
        if (!found) {
            std::cerr << "o8rprog: " << error << '\n';
            NoteFailure("Failed", error);
            return kExitFailure;
        }
        boxes = std::move(*found);
    }
    if (boxes.empty()) {
        std::cerr << "No box found.\n";
        NoteFailure("NoProgrammer", "No box found.");
        return kExitFailure;
    }
    std::size_t portWidth = 4;
    std::size_t serialWidth = 10;
    bool products = false;  // Windows: the library describes each box
    for (const FoundBox& box : boxes) {
        portWidth = std::max(portWidth, box.port.size());
        serialWidth = std::max(serialWidth, box.usbSerial.size());
        products = products || !box.product.empty();
    }
    const auto row = [&](const std::string& port, const std::string& serial, const std::string& id,
                         const std::string& product) {
        std::cout << port << std::string(portWidth - port.size() + 2, ' ') << serial
                  << std::string(serialWidth - serial.size() + 2, ' ')
                  << (products ? id + std::string(id.size() < 9 ? 9 - id.size() : 0, ' ') + "  " +
                                     product
                               : id)
                  << '\n';
    };
    row("PORT", "USB SERIAL", "VID:PID", "PRODUCT");
    for (const FoundBox& box : boxes)
        row(box.port, box.usbSerial.empty() ? "-" : box.usbSerial, UsbId(box),
            box.product.empty() ? "-" : box.product);
    return kExitOk;
}

}  // namespace

int RunDetect(const GlobalOptions& global, const DetectOptions& options) {
    if (options.all)
        return ListEveryBox(global);
    CommandSession box(global, nullptr);
    const auto mode = box.Detect();
    if (!mode) {
        return kExitFailure;
    }
    std::cout << (*mode == Outcome::NormalMode ? "normal" : "firmware-update") << '\n';
    return kExitOk;
}

}  // namespace o8r::cli
