#include "gui/dialogs/QtHexDumpModel.h"

#include <algorithm>

namespace o8r {

namespace {

QString Heading(int section) {
    if (section == 0)
        return QStringLiteral("ADDRESS");
    // "+0" to "+9", then "+A" to "+F".
    return QStringLiteral("+") + QString::number(section - 1, 16).toUpper();
}

Qt::Alignment ColumnAlignment(int column) {
    return (column == 0 ? Qt::AlignRight : Qt::AlignHCenter) | Qt::AlignVCenter;
}

}  // namespace

QtHexDumpModel::QtHexDumpModel(const std::vector<ReadRow>& rows, QObject* parent)
    : QAbstractTableModel(parent), m_rows(rows) {
    m_shown = static_cast<int>(m_rows.size());
}

void QtHexDumpModel::RowsChanged(std::size_t firstChanged) {
    const int total = static_cast<int>(m_rows.size());
    if (total < m_shown) {
        beginResetModel();
        m_shown = total;
        endResetModel();
        return;
    }
    const int firstOld = static_cast<int>(std::min<std::size_t>(firstChanged, m_shown));
    if (firstOld < m_shown) {
        Q_EMIT dataChanged(index(firstOld, 0), index(m_shown - 1, kColumns - 1));
    }
    if (total > m_shown) {
        beginInsertRows(QModelIndex(), m_shown, total - 1);
        m_shown = total;
        endInsertRows();
    }
}

int QtHexDumpModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_shown;
}

int QtHexDumpModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumns;
}

QVariant QtHexDumpModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= m_shown || index.column() >= kColumns)
        return {};
    if (role == Qt::DisplayRole) {
        const std::string& cell =
            m_rows[static_cast<std::size_t>(index.row())][static_cast<std::size_t>(index.column())];
        return QString::fromLatin1(cell.data(), static_cast<qsizetype>(cell.size()));
    }
    if (role == Qt::TextAlignmentRole)
        return static_cast<int>(ColumnAlignment(index.column()));
    return {};
}

QVariant QtHexDumpModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= kColumns)
        return {};
    if (role == Qt::DisplayRole)
        return Heading(section);
    if (role == Qt::TextAlignmentRole)
        return static_cast<int>(ColumnAlignment(section));
    return {};
}

}  // namespace o8r
