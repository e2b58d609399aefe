#include "core/operations/EraseBlockChoice.h"

#include "core/catalogue/Catalogue.h"
#include "core/model/HexText.h"
#include "core/model/Messages.h"

namespace o8r {

std::vector<std::uint16_t> ErasePagesOfList(const std::string& list) {
    std::vector<std::uint16_t> pages;
    for (std::size_t at = 0; at + 4 <= list.size(); at += 4)
        pages.push_back(static_cast<std::uint16_t>(ParseHex(list.substr(at, 4)).value_or(0xFFFF)));
    return pages;
}

bool EraseBlockChoice::Fill(const std::string& cataloguePath, const std::string& part) {
    m_rows.clear();
    bool usable = true;
    if (auto lines = ReadCatalogueLines(cataloguePath)) {
        // A block left out of the list would be left unerased without a word.
        if (const auto problem = BlockEntryProblem(*lines, part)) {
            m_prompts.ShowMessage(Message{*problem, text::kCaptionError, MsgIcon::Error,
                                          MsgButtons::Ok, Owner::MainWindow});
            usable = false;
        } else {
            m_rows = EraseBlocksForPart(*lines, part);
        }
    }
    m_checked.assign(m_rows.size(), false);
    m_selectAll = false;
    return usable;
}

void EraseBlockChoice::SetSelectAll(bool checked) {
    m_selectAll = checked;
    m_checked.assign(m_rows.size(), checked);
}

void EraseBlockChoice::ToggleRow(int row) {
    if (row < 0 || static_cast<std::size_t>(row) >= m_checked.size())
        return;
    m_checked[static_cast<std::size_t>(row)] = !m_checked[static_cast<std::size_t>(row)];
}

bool EraseBlockChoice::PressOk() {
    m_eraseList.clear();
    m_blockCount = 0;
    for (std::size_t row = 0; row < m_rows.size(); ++row) {
        if (!m_checked[row])
            continue;
        // "  0x0C000" -> "00C0": the block's first page, four digits wide.
        const std::string& address = m_rows[row].address;
        m_eraseList += '0';
        m_eraseList += address.substr(4, 3);
        ++m_blockCount;
    }
    if (m_blockCount == 0) {
        m_prompts.ShowMessage(Message{text::kNoEraseBlock, text::kCaptionWarning,
                                      MsgIcon::Exclamation, MsgButtons::Ok, Owner::EraseSetting});
        return false;
    }
    return true;
}

}  // namespace o8r
