#pragma once

// The catalogue as the command line uses it: where it is, the part a --mcu
// option names, and how a memory map reads on a terminal.

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "cli/Options.h"
#include "core/catalogue/Catalogue.h"
#include "core/catalogue/CatalogueLocation.h"
#include "core/model/MemoryMap.h"

namespace o8r::cli {

// --catalogue alone, or MCUType.mcu in the places CatalogueCandidates lists.
CatalogueSearch SearchCatalogue(const GlobalOptions& options);

// The catalogue found, or the first place tried when there is none.
std::string CataloguePath(const GlobalOptions& options);

// The catalogue's lines; nullopt after "ERROR: Can not find MCU file!" and
// one "  tried PLACE" line per place on `err`, or after the reason a file that
// is there cannot be read (not a regular file, too large).
std::optional<std::vector<std::string>> LoadCatalogue(const GlobalOptions& options,
                                                      std::ostream& err);

struct SelectedPart {
    McuRecord record;  // part name exactly as the catalogue holds it (10 characters)
    MemoryMap map;
};

// The part named by --mcu, trailing blanks ignored. Throws UsageError for a
// name the catalogue does not hold.
SelectedPart ResolvePart(const std::vector<std::string>& lines, const std::string& name);

// "04000-13FFF", regions inclusive as the address dialog takes them; region 1
// first when there is one; "(none)" for a map without addresses.
std::string FormatMemoryMap(const MemoryMap& map);

}  // namespace o8r::cli
