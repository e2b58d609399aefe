#pragma once

// The "ID code" dialog (template 139): the code of a protected target, typed as
// 14 hexadecimal digits or, with "Character input" checked, as 7 characters.
// The rules live in IdCodeEntry; this window only maps its widgets to them.

#include <QDialog>

class QCheckBox;
class QLineEdit;
class QPushButton;

namespace o8r {

class IdCodeEntry;

class IdCodeDialog : public QDialog {
    Q_OBJECT

  public:
    explicit IdCodeDialog(IdCodeEntry& logic, QWidget* parent = nullptr);

    QLineEdit* Edit() const { return m_edit; }
    QCheckBox* CharacterInput() const { return m_characterInput; }
    QPushButton* OkButton() const { return m_ok; }

  private:
    void OnCharacterInputClicked(bool checked);
    void OnOk();

    IdCodeEntry& m_logic;
    QCheckBox* m_characterInput;
    QLineEdit* m_edit;
    QPushButton* m_ok;
};

}  // namespace o8r
