// o8rprog mcus: the catalogue as the desktop program's tree shows it, each
// part with its memory size and memory map.

#include <cstdio>
#include <iostream>

#include "catalogue/Catalogue.h"
#include "cli/CatalogueAccess.h"
#include "cli/Commands.h"
#include "cli/ExitStatus.h"

namespace o8r::cli {

namespace {

std::string TrimmedRight(std::string text) {
    text.erase(text.find_last_not_of(' ') + 1);
    return text;
}

}  // namespace

int RunMcus(const GlobalOptions& global) {
    const auto lines = LoadCatalogue(global, std::cerr);
    if (!lines) {
        return kExitFailure;
    }
    for (const McuTreeGroup& group : BuildMcuTree(*lines)) {
        std::cout << TrimmedRight(group.text) << '\n';
        for (const std::string& series : group.series) {
            std::cout << "  " << TrimmedRight(series) << '\n';
            for (const McuListRow& row : RowsForTreeItem(*lines, series).rows) {
                const auto map = MemoryMapForPart(*lines, row.part);
                char line[128];
                std::snprintf(line, sizeof line, "    %-10s  %-8s  ", row.part.c_str(),
                              TrimmedRight(row.memorySize).c_str());
                std::cout << line << (map ? FormatMemoryMap(*map) : "(none)") << '\n';
            }
        }
    }
    return kExitOk;
}

}  // namespace o8r::cli
