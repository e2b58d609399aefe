// o8rprog doctor: says what keeps a box from being used, one line each, and
// exits 0 when a box can be used.

#include <cstdlib>
#include <iostream>

#include "cli/CatalogueAccess.h"
#include "cli/Commands.h"
#include "cli/Doctor.h"

namespace o8r::cli {

int RunDoctor(const GlobalOptions& global) {
    // A made-up system tree for the tests; the real one otherwise.
    const char* root = std::getenv("O8R_DOCTOR_ROOT");
    const DoctorFacts facts = GatherDoctorFacts(root != nullptr && *root != '\0' ? root : "/");
    const CatalogueSearch search = SearchCatalogue(global);
    const DoctorReport report = Diagnose(facts, CatalogueFacts{search.found, search.tried});
    std::cout << FormatReport(report);
    return DoctorExitStatus(report);
}

}  // namespace o8r::cli
