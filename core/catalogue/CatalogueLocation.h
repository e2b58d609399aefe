#pragma once

// Where MCUType.mcu is looked for. A file named by the user is the only place
// tried; otherwise, in order: beside the executable (a build tree, a copied
// folder), ../share/o8r-programmer/ from the executable's folder (an installed
// tree, wherever it was moved to), then the data folder of the install prefix
// the build was configured with.

#include <optional>
#include <string>
#include <vector>

namespace o8r {

inline constexpr char kCatalogueFileName[] = "MCUType.mcu";

// The places to try, in order, without repeats. `programDirectory` and
// `installDataDirectory` may be empty (unknown), with or without a trailing
// separator.
std::vector<std::string> CatalogueCandidates(const std::string& namedFile,
                                             const std::string& programDirectory,
                                             const std::string& installDataDirectory);

struct CatalogueSearch {
    std::optional<std::string> found;  // the first candidate that is a readable file
    std::vector<std::string> tried;    // every candidate, in order
};

CatalogueSearch FindCatalogue(const std::vector<std::string>& candidates);

// Both steps at once.
CatalogueSearch FindCatalogue(const std::string& namedFile, const std::string& programDirectory,
                              const std::string& installDataDirectory);

}  // namespace o8r
