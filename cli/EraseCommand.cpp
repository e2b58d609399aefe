// o8rprog erase: the Erase button with the erase dialog's rows checked by the
// block names it shows ("0", "1", "A", ...); blocks go in list order.

#include <algorithm>
#include <cctype>
#include <iostream>
#include <set>

#include "cli/CommandSession.h"
#include "cli/Commands.h"
#include "cli/ExitStatus.h"
#include "cli/PartCommand.h"
#include "core/model/Messages.h"
#include "core/operations/EraseBlockChoice.h"
#include "core/protocol/BoxProtocol.h"

namespace o8r::cli {

namespace {

constexpr char kBlockPrefix[] = "Block ";

std::string Upper(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text;
}

// "Block 0" -> "0"; the name the command line matches.
std::string RowName(const EraseBlockRow& row) {
    const std::string prefix = kBlockPrefix;
    return row.block.rfind(prefix, 0) == 0 ? row.block.substr(prefix.size()) : row.block;
}

std::string Names(const std::vector<EraseBlockRow>& rows) {
    std::string names;
    for (const EraseBlockRow& row : rows) {
        names += (names.empty() ? "" : ", ") + RowName(row);
    }
    return names.empty() ? "none" : names;
}

}  // namespace

int RunErase(const GlobalOptions& global, const EraseOptions& options) {
    std::set<std::string> wanted;
    PartChecks checks;
    // Every name must be a row of the dialog before the box is touched.
    checks.options = [&](const std::vector<std::string>& lines, const SelectedPart& part) {
        if (const auto problem = BlockEntryProblem(lines, part.record.part)) {
            std::cerr << text::kCaptionError << ": " << *problem << '\n';
            throw ShownFailure(*problem);
        }
        const std::vector<EraseBlockRow> rows = EraseBlocksForPart(lines, part.record.part);
        for (const std::string& name : options.blocks) {
            const std::string key = Upper(name);
            const bool known = std::any_of(rows.begin(), rows.end(), [&](const EraseBlockRow& r) {
                return RowName(r) == key;
            });
            if (!known) {
                throw UsageError("--blocks: " + part.record.part + " has no block \"" + name +
                                 "\" (its blocks: " + Names(rows) + ")");
            }
            wanted.insert(key);
        }
    };

    return RunOnPart(global, options.mcu, checks, [&](CommandSession& box) {
        // The erase dialog's rows, checked by name; its OK builds the list.
        EraseBlockChoice dialog(box.Prompts());
        if (!dialog.Fill(box.CataloguePath(), box.Box().Target().part)) {
            return kExitFailure;
        }
        if (options.all) {
            dialog.SetSelectAll(true);
        } else {
            for (std::size_t i = 0; i < dialog.Rows().size(); ++i) {
                dialog.SetChecked(i, wanted.count(RowName(dialog.Rows()[i])) != 0);
            }
        }
        if (!dialog.PressOk()) {
            return kExitFailure;
        }
        const OperationResult result =
            box.Box().Erase(ErasePagesOfList(dialog.EraseList()), box.Hooks());
        return box.Report(result) ? kExitOk : kExitFailure;
    });
}

}  // namespace o8r::cli
