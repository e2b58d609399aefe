#include "core/catalogue/CatalogueLocation.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "platform/Utf8Path.h"

namespace o8r {

namespace fs = std::filesystem;

std::vector<std::string> CatalogueCandidates(const std::string& namedFile,
                                             const std::string& programDirectory,
                                             const std::string& installDataDirectory) {
    if (!namedFile.empty()) {
        return {namedFile};
    }
    std::vector<std::string> candidates;
    auto add = [&candidates](const fs::path& path) {
        const std::string text = Utf8FromPath(path.lexically_normal());
        if (std::find(candidates.begin(), candidates.end(), text) == candidates.end()) {
            candidates.push_back(text);
        }
    };
    if (!programDirectory.empty()) {
        const fs::path directory = PathFromUtf8(programDirectory);
        add(directory / kCatalogueFileName);
        add(directory / ".." / "share" / "o8r-programmer" / kCatalogueFileName);
    }
    if (!installDataDirectory.empty()) {
        add(PathFromUtf8(installDataDirectory) / kCatalogueFileName);
    }
    return candidates;
}

CatalogueSearch FindCatalogue(const std::vector<std::string>& candidates) {
    CatalogueSearch search;
    search.tried = candidates;
    for (const std::string& candidate : candidates) {
        std::error_code error;
        const fs::path path = PathFromUtf8(candidate);
        if (fs::is_regular_file(path, error) && std::ifstream(path).is_open()) {
            search.found = candidate;
            break;
        }
    }
    return search;
}

CatalogueSearch FindCatalogue(const std::string& namedFile, const std::string& programDirectory,
                              const std::string& installDataDirectory) {
    return FindCatalogue(CatalogueCandidates(namedFile, programDirectory, installDataDirectory));
}

}  // namespace o8r
