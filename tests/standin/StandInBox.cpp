// The simulated box behind the stand-in library, apart from the library's
// Windows side (the core's headers and <windows.h> do not mix).

#include "StandInBox.h"

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "bridges/BridgeFactory.h"
#include "core/catalogue/Catalogue.h"
#include "core/protocol/Clock.h"
#include "platform/Utf8Path.h"
#include "sim/SimFaults.h"

namespace o8r::standin {

namespace {

std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

// Applies one switch of O8R_STANDIN_FAULTS; false after a message.
bool ApplySwitch(const std::string& item, const std::filesystem::path& folder,
                 SimOptions& options) {
    if (item == "update-mode") {
        options.updateMode = true;
        return true;
    }
    if (item.rfind("mcu:", 0) == 0) {
        const auto lines = ReadCatalogueLines(Utf8FromPath(folder / "MCUType.mcu"));
        const auto record = lines ? FindPartLoosely(*lines, item.substr(4)) : std::nullopt;
        if (!record) {
            std::fprintf(stderr, "SiUSBXp stand-in: no part %s in the catalogue\n",
                         item.c_str() + 4);
            return false;
        }
        options.blocks = FlashBlocksForPart(*record);
        return true;
    }
    const std::string problem = ParseSimFault(item, options);
    if (!problem.empty()) {
        std::fprintf(stderr, "SiUSBXp stand-in: %s\n", problem.c_str());
        return false;
    }
    return true;
}

// Box N's own switches: N=SPEC is for box N only (numbered from 1), a switch
// without N= for every box.
bool ForThisBox(std::string& item, std::uint32_t index) {
    const auto equals = item.find('=');
    const std::string head = item.substr(0, equals);
    if (equals == std::string::npos || head.empty() ||
        head.find_first_not_of("0123456789") != std::string::npos)
        return true;
    const bool mine = head == std::to_string(index + 1);
    item = item.substr(equals + 1);
    return mine;
}

// The boxes, each made at its first call (never in DllMain) and kept, with
// its state written back, until the library is unloaded. Several boxes keep
// their states in STATE.1, STATE.2, ...: a run that opens one box locks its
// file alone.
class StandIn {
  public:
    Bridge* Box(const std::filesystem::path& folder, std::uint32_t index) {
        const std::uint32_t count = BoxCount();
        if (index >= (count == 0 ? 1 : count))
            return nullptr;
        if (m_boxes.size() <= index)
            m_boxes.resize(index + 1);
        Slot& slot = m_boxes[index];
        if (!slot.made) {
            slot.made = true;
            slot.box = Make(folder, index, count > 0);
            if (slot.box && m_timeouts)
                (void)slot.box->SetTimeouts(m_timeouts->first, m_timeouts->second);
        }
        return slot.box.get();
    }

    void SetTimeouts(std::uint32_t readMs, std::uint32_t writeMs) {
        m_timeouts = std::make_pair(readMs, writeMs);
        for (Slot& slot : m_boxes)
            if (slot.box)
                (void)slot.box->SetTimeouts(readMs, writeMs);
    }

  private:
    struct Slot {
        std::unique_ptr<Bridge> box;
        bool made = false;
    };

    std::unique_ptr<Bridge> Make(const std::filesystem::path& folder, std::uint32_t index,
                                 bool several) {
        BoxChoice choice;
        choice.kind = BoxChoice::Kind::Sim;
        choice.simStatePath = Environment("O8R_STANDIN_STATE");
        if (several && !choice.simStatePath.empty())
            choice.simStatePath += "." + std::to_string(index + 1);
        const std::string switches = Environment("O8R_STANDIN_FAULTS");
        std::size_t start = 0;
        while (start < switches.size()) {
            std::size_t end = switches.find(',', start);
            if (end == std::string::npos)
                end = switches.size();
            std::string item = switches.substr(start, end - start);
            if (!item.empty() && ForThisBox(item, index) && !ApplySwitch(item, folder, choice.sim))
                return nullptr;
            start = end + 1;
        }
        std::string error;
        auto box = MakeBridge(choice, m_clock, error);
        if (!box)
            std::fprintf(stderr, "SiUSBXp stand-in: %s\n", error.c_str());
        return box;
    }

    RealClock m_clock;
    std::vector<Slot> m_boxes;
    std::optional<std::pair<std::uint32_t, std::uint32_t>> m_timeouts;
};

StandIn g_standIn;

}  // namespace

std::uint32_t BoxCount() {
    const std::string text = Environment("O8R_STANDIN_BOXES");
    if (text.empty() || text.size() > 2 ||
        text.find_first_not_of("0123456789") != std::string::npos)
        return 0;
    return static_cast<std::uint32_t>(std::stoul(text));
}

Bridge* Box(const std::filesystem::path& folder, std::uint32_t index) {
    return g_standIn.Box(folder, index);
}

std::string Serial(std::uint32_t index) {
    return "STANDIN" + std::to_string(index + 1);
}

void SetTimeouts(std::uint32_t readMs, std::uint32_t writeMs) {
    g_standIn.SetTimeouts(readMs, writeMs);
}

}  // namespace o8r::standin
