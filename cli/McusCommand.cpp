// o8rprog mcus: the catalogue as the desktop program's tree shows it, each
// part with its memory size and memory map.

#include <cstdio>
#include <iostream>

#include "cli/CatalogueAccess.h"
#include "cli/Commands.h"
#include "cli/ExitStatus.h"
#include "core/catalogue/Catalogue.h"
#include "core/model/Messages.h"

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
    for (const McuListingGroup& group : BuildMcuListing(*lines)) {
        std::cout << TrimmedRight(group.text) << '\n';
        for (const McuListingSeries& series : group.series) {
            std::cout << "  " << TrimmedRight(series.text) << '\n';
            if (series.listedAbove) {
                std::cout << "    (its parts are listed above)\n";
            }
            for (const McuListingPart& part : series.parts) {
                char line[128];
                std::snprintf(line, sizeof line, "    %-10s  %-8s  ", part.row.part.c_str(),
                              TrimmedRight(part.row.memorySize).c_str());
                std::cout << line << (part.map ? FormatMemoryMap(*part.map) : "(none)") << '\n';
            }
        }
    }
    // Parts whose blocks Erase would refuse.
    for (const std::string& problem : BlockEntryProblems(*lines)) {
        std::cerr << text::kCaptionWarning << ": " << problem << '\n';
    }
    return kExitOk;
}

}  // namespace o8r::cli
