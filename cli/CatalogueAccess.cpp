#include "cli/CatalogueAccess.h"

#include <cstdio>
#include <ostream>

#include "cli/ExitStatus.h"
#include "cli/RunOutput.h"
#include "core/model/Messages.h"
#include "o8r/BuildInfo.h"

namespace o8r::cli {

namespace {

std::string Range(std::uint32_t start, std::uint32_t end) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%05X-%05X", static_cast<unsigned>(start),
                  static_cast<unsigned>(end - 1));
    return buffer;
}

std::string TrimmedRight(std::string text) {
    text.erase(text.find_last_not_of(' ') + 1);
    return text;
}

}  // namespace

CatalogueSearch SearchCatalogue(const GlobalOptions& options) {
    return FindCatalogue(options.catalogue, options.programDirectory, build::kInstallDataDirectory);
}

std::string CataloguePath(const GlobalOptions& options) {
    const CatalogueSearch search = SearchCatalogue(options);
    if (search.found) {
        return *search.found;
    }
    return search.tried.empty() ? std::string(kCatalogueFileName) : search.tried.front();
}

std::optional<std::vector<std::string>> LoadCatalogue(const GlobalOptions& options,
                                                      std::ostream& err) {
    const CatalogueSearch search = SearchCatalogue(options);
    // A file named with --catalogue that is there but cannot be taken is
    // refused for what it is, not as a missing one.
    const std::string path = search.found ? *search.found : options.catalogue;
    CatalogueRead file;
    file.error = CatalogueFileError::Missing;
    if (!path.empty()) {
        file = ReadCatalogueFile(path);
    }
    if (file.error == CatalogueFileError::None) {
        return std::move(file.lines);
    }
    const std::string problem = CatalogueFileProblem(file.error, path);
    err << text::kCaptionError << ": " << problem << '\n';
    NoteFailure("Failed", problem);
    if (file.error == CatalogueFileError::Missing) {
        for (const std::string& place : search.tried) {
            err << "  tried " << place << '\n';
        }
    }
    return std::nullopt;
}

SelectedPart ResolvePart(const std::vector<std::string>& lines, const std::string& name) {
    auto record = FindPartLoosely(lines, name);
    if (!record) {
        throw UsageError("--mcu: the catalogue has no part \"" + TrimmedRight(name) +
                         "\" (o8rprog mcus lists them)");
    }
    SelectedPart part{*record, {}};
    if (const auto map = MemoryMapForPart(lines, record->part)) {
        part.map = *map;
    }
    return part;
}

std::string FormatMemoryMap(const MemoryMap& map) {
    std::string text;
    if (map.region1Start != 0 && map.region1End > map.region1Start) {
        text = Range(map.region1Start, map.region1End);
    }
    if (map.region2End > map.region2Start) {
        text += (text.empty() ? "" : " ") + Range(map.region2Start, map.region2End);
    }
    return text.empty() ? "(none)" : text;
}

}  // namespace o8r::cli
