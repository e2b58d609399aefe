#include "gui/dialogs/EraseBlocksDialog.h"

#include <QCheckBox>
#include <QHeaderView>
#include <QPushButton>
#include <QTreeWidget>
#include <iterator>

#include "core/model/Ids.h"
#include "core/model/Messages.h"
#include "core/operations/EraseBlockChoice.h"
#include "gui/QtDialogUnits.h"
#include "gui/QtPrompts.h"
#include "gui/QtResources.h"
#include "gui/QtTextFit.h"
#include "gui/QtViewStyle.h"

namespace o8r {

namespace {

struct Column {
    const char* heading;
    Qt::Alignment alignment;
    int width;  // pixels
};

constexpr Column kColumns[] = {
    {"    Block", Qt::AlignHCenter, 70},
    {"Size", Qt::AlignHCenter, 38},
    {"Start Address", Qt::AlignLeft, 85},
};

}  // namespace

EraseBlocksDialog::EraseBlocksDialog(EraseBlockChoice& logic, QWidget* parent)
    : QDialog(parent), m_logic(logic) {
    const DialogUnits du =
        ApplyDialogTemplate(*this, QString::fromLatin1(text::kEraseSettingCaption),
                            DialogFont(QStringLiteral("Microsoft Sans Serif"), 9), 135, 164);

    m_list = new QTreeWidget(this);
    PlaceControl(m_list, IdNumber(IDC_ERASE_BLOCK_LIST), du, 7, 5, 123, 140);
    m_list->setRootIsDecorated(false);
    m_list->setItemsExpandable(false);
    m_list->setUniformRowHeights(true);
    m_list->setSortingEnabled(false);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->header()->setSectionsClickable(false);
    m_list->header()->setSectionsMovable(false);
    m_list->header()->setStretchLastSection(false);
    SetViewColours(m_list, DumpBackground(), DumpText());
    // The rows' check boxes in the list's green on black.
    UseViewStyle(m_list);

    m_selectAll = new QCheckBox(QStringLiteral("Select/Deselect All"), this);
    PlaceControl(m_selectAll, IdNumber(IDC_ERASE_SELECT_ALL), du, 8, 147, 87, 12);

    m_ok = new QPushButton(QStringLiteral("OK"), this);
    PlaceControl(m_ok, IdNumber(DialogResult::Ok), du, 101, 145, 29, 14);
    m_ok->setDefault(true);

    FillList();
    FitColumnsToContents(*m_list);
    FitControlsToText(*this);

    connect(m_list, &QTreeWidget::itemChanged, this,
            [this](QTreeWidgetItem* item, int column) { OnItemChanged(item, column); });
    connect(m_list, &QTreeWidget::itemDoubleClicked, this,
            [this](QTreeWidgetItem* item, int) { OnItemDoubleClicked(item); });
    connect(m_selectAll, &QCheckBox::clicked, this,
            [this](bool checked) { OnSelectAllClicked(checked); });
    connect(m_ok, &QPushButton::clicked, this, [this] { OnOk(); });
}

void EraseBlocksDialog::FillList() {
    m_list->setColumnCount(static_cast<int>(std::size(kColumns)));
    QStringList headings;
    for (const Column& column : kColumns)
        headings << QString::fromLatin1(column.heading);
    m_list->setHeaderLabels(headings);
    for (int c = 0; c < static_cast<int>(std::size(kColumns)); ++c) {
        m_list->header()->resizeSection(c, kColumns[c].width);
        m_list->headerItem()->setTextAlignment(c, kColumns[c].alignment | Qt::AlignVCenter);
    }

    m_showing = true;
    for (const EraseBlockRow& row : m_logic.Rows()) {
        auto* item = new QTreeWidgetItem(m_list);
        item->setText(0, FromLocal(row.block));
        item->setText(1, FromLocal(row.size));
        item->setText(2, FromLocal(row.address));
        for (int c = 0; c < static_cast<int>(std::size(kColumns)); ++c) {
            item->setTextAlignment(c, kColumns[c].alignment | Qt::AlignVCenter);
        }
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        item->setCheckState(0, Qt::Unchecked);
    }
    m_showing = false;
    ShowChecks();
}

void EraseBlocksDialog::ShowChecks() {
    m_showing = true;
    for (int row = 0; row < m_list->topLevelItemCount(); ++row) {
        const bool checked = m_logic.Checked(static_cast<std::size_t>(row));
        m_list->topLevelItem(row)->setCheckState(0, checked ? Qt::Checked : Qt::Unchecked);
    }
    m_selectAll->setChecked(m_logic.SelectAll());
    m_showing = false;
}

void EraseBlocksDialog::OnItemChanged(QTreeWidgetItem* item, int column) {
    if (m_showing || column != 0)
        return;
    const int row = m_list->indexOfTopLevelItem(item);
    if (row < 0)
        return;
    m_logic.SetChecked(static_cast<std::size_t>(row), item->checkState(0) == Qt::Checked);
}

void EraseBlocksDialog::OnItemDoubleClicked(QTreeWidgetItem* item) {
    m_logic.ToggleRow(item ? m_list->indexOfTopLevelItem(item) : -1);
    ShowChecks();
}

void EraseBlocksDialog::OnSelectAllClicked(bool checked) {
    m_logic.SetSelectAll(checked);
    ShowChecks();
}

void EraseBlocksDialog::OnOk() {
    if (m_logic.PressOk())
        done(IdNumber(DialogResult::Ok));
}

}  // namespace o8r
