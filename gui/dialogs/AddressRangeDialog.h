#pragma once

// The "Address Setting" dialog (template 166): start and end address of a
// range, in hexadecimal. The checks live in AddressRangeEntry.

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace o8r {

class AddressRangeEntry;

class AddressRangeDialog : public QDialog {
    Q_OBJECT

  public:
    explicit AddressRangeDialog(AddressRangeEntry& logic, QWidget* parent = nullptr);

    QLabel* PromptLine() const { return m_prompt; }
    QLineEdit* StartField() const { return m_start; }
    QLineEdit* EndField() const { return m_end; }
    QPushButton* OkButton() const { return m_ok; }

  private:
    void OnOk();

    AddressRangeEntry& m_logic;
    QLabel* m_prompt;
    QLineEdit* m_start;
    QLineEdit* m_end;
    QPushButton* m_ok;
};

}  // namespace o8r
