#pragma once

// The "Erase setting" dialog (template 131): the flash blocks of the selected
// MCU with a check box each, a select-all box and OK. The rows, the checks and
// the OK rule live in EraseBlockChoice; this window mirrors them.

#include <QDialog>

class QCheckBox;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace o8r {

class EraseBlockChoice;

class EraseBlocksDialog : public QDialog {
    Q_OBJECT

  public:
    explicit EraseBlocksDialog(EraseBlockChoice& logic, QWidget* parent = nullptr);

    QTreeWidget* BlockList() const { return m_list; }
    QCheckBox* SelectAllBox() const { return m_selectAll; }
    QPushButton* OkButton() const { return m_ok; }

  private:
    void FillList();
    void ShowChecks();
    void OnItemChanged(QTreeWidgetItem* item, int column);
    void OnItemDoubleClicked(QTreeWidgetItem* item);
    void OnSelectAllClicked(bool checked);
    void OnOk();

    EraseBlockChoice& m_logic;
    QTreeWidget* m_list;
    QCheckBox* m_selectAll;
    QPushButton* m_ok;
    bool m_showing = false;
};

}  // namespace o8r
