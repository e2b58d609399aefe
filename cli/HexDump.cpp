#include "cli/HexDump.h"

namespace o8r::cli {

std::string FormatDump(const std::vector<ReadRow>& rows) {
    std::string out = "ADDRESS ";
    for (const char* digit = "0123456789ABCDEF"; *digit != '\0'; ++digit) {
        out += " +";
        out += *digit;
    }
    out += '\n';
    for (const ReadRow& row : rows) {
        std::string line = row[0] + " ";
        for (std::size_t k = 1; k < row.size(); ++k) {
            line += ' ';
            line += row[k].empty() ? std::string("  ") : row[k];
        }
        line.erase(line.find_last_not_of(' ') + 1);
        out += line + '\n';
    }
    return out;
}

}  // namespace o8r::cli
