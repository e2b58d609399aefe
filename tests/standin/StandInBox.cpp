// The simulated box behind the stand-in library, apart from the library's
// Windows side (the core's headers and <windows.h> do not mix).

#include "StandInBox.h"

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

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

// The box, made at the first call (never in DllMain) and kept, with its
// state written back, until the library is unloaded.
class StandIn {
  public:
    Bridge* Box(const std::filesystem::path& folder) {
        if (!m_made) {
            m_made = true;
            Make(folder);
        }
        return m_box.get();
    }

  private:
    void Make(const std::filesystem::path& folder) {
        BoxChoice choice;
        choice.kind = BoxChoice::Kind::Sim;
        choice.simStatePath = Environment("O8R_STANDIN_STATE");
        const std::string switches = Environment("O8R_STANDIN_FAULTS");
        std::size_t start = 0;
        while (start < switches.size()) {
            std::size_t end = switches.find(',', start);
            if (end == std::string::npos)
                end = switches.size();
            if (end > start &&
                !ApplySwitch(switches.substr(start, end - start), folder, choice.sim))
                return;
            start = end + 1;
        }
        std::string error;
        m_box = MakeBridge(choice, m_clock, error);
        if (!m_box)
            std::fprintf(stderr, "SiUSBXp stand-in: %s\n", error.c_str());
    }

    RealClock m_clock;
    std::unique_ptr<Bridge> m_box;
    bool m_made = false;
};

StandIn g_standIn;

}  // namespace

Bridge* Box(const std::filesystem::path& folder) {
    return g_standIn.Box(folder);
}

}  // namespace o8r::standin
