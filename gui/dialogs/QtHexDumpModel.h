#pragma once

// The hex dump of the read-data window as a table model over the session's
// rows: column 0 the row address, columns 1 to 16 the bytes "+0" to "+F".
// Rows are only ever appended or have cells emptied, and the model passes on
// exactly those changes, so a dump of a whole megabyte stays quick.

#include <QAbstractTableModel>
#include <vector>

#include "core/image/ReadRow.h"

namespace o8r {

class QtHexDumpModel : public QAbstractTableModel {
  public:
    explicit QtHexDumpModel(const std::vector<ReadRow>& rows, QObject* parent = nullptr);

    // Shows the rows appended since the last call and the cells changed from
    // row `firstChanged` on.
    void RowsChanged(std::size_t firstChanged);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    static constexpr int kColumns = 17;
    // Column widths in pixels.
    static constexpr int kAddressWidth = 70;
    static constexpr int kByteWidth = 30;

  private:
    const std::vector<ReadRow>& m_rows;
    int m_shown = 0;
};

}  // namespace o8r
