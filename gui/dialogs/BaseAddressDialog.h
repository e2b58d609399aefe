#pragma once

// The small dialog that asks where a binary image file goes: one address in
// hexadecimal. The checks live in BaseAddressEntry.

#include <QDialog>

class QLineEdit;
class QPushButton;

namespace o8r {

class BaseAddressEntry;

class BaseAddressDialog : public QDialog {
    Q_OBJECT

  public:
    explicit BaseAddressDialog(BaseAddressEntry& logic, QWidget* parent = nullptr);

    QLineEdit* AddressField() const { return m_address; }
    QPushButton* OkButton() const { return m_ok; }

  private:
    void OnOk();

    BaseAddressEntry& m_logic;
    QLineEdit* m_address;
    QPushButton* m_ok;
};

}  // namespace o8r
