#pragma once

// The rules of the "Erase setting" dialog, which picks the blocks to erase, without widgets.

#include <cstdint>
#include <string>
#include <vector>

#include "core/catalogue/Catalogue.h"
#include "core/operations/Prompts.h"

namespace o8r {

// The first pages of the blocks in an erase list (four hexadecimal digits a block).
[[nodiscard]] std::vector<std::uint16_t> ErasePagesOfList(const std::string& list);

class EraseBlockChoice {
  public:
    explicit EraseBlockChoice(Prompts& prompts) : m_prompts(prompts) {}

    // Reads the block entries of `part` from the catalogue at `cataloguePath`; all rows
    // unchecked. False, with no rows, after the catalogue check's message when
    // an entry of the part cannot be used (the erase must not go ahead).
    bool Fill(const std::string& cataloguePath, const std::string& part);

    const std::vector<EraseBlockRow>& Rows() const { return m_rows; }
    bool Checked(std::size_t row) const { return m_checked.at(row); }
    void SetChecked(std::size_t row, bool checked) { m_checked.at(row) = checked; }
    // Select/Deselect All toggled to `checked`: every row follows it.
    void SetSelectAll(bool checked);
    bool SelectAll() const { return m_selectAll; }
    // Double click on the list: toggles the row hit; -1 (no row) changes nothing.
    void ToggleRow(int row);

    // The OK button: builds the erase list from the checked rows in list order;
    // with none checked shows the warning (owned by this dialog) and returns
    // false, the dialog staying open.
    bool PressOk();

    // The erase list the last press built: each block's first page in four
    // hexadecimal digits, and how many blocks it holds.
    const std::string& EraseList() const { return m_eraseList; }
    int BlockCount() const { return m_blockCount; }

  private:
    Prompts& m_prompts;
    std::string m_eraseList;
    int m_blockCount = 0;
    std::vector<EraseBlockRow> m_rows;
    std::vector<bool> m_checked;
    bool m_selectAll = false;
};

}  // namespace o8r
