#include "gui/dialogs/IdCodeDialog.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QValidator>

#include "core/model/Ids.h"
#include "core/model/Messages.h"
#include "core/operations/IdCodeEntry.h"
#include "gui/QtDialogUnits.h"
#include "gui/QtResources.h"
#include "gui/QtTextFit.h"

namespace o8r {

namespace {

// One byte per character: the ID code takes the character's code, so only
// characters with a single-byte code can be typed.
class SingleByteValidator : public QValidator {
  public:
    using QValidator::QValidator;
    State validate(QString& input, int&) const override {
        for (QChar ch : input) {
            if (ch.unicode() > 0xFF)
                return Invalid;
        }
        return Acceptable;
    }
};

}  // namespace

IdCodeDialog::IdCodeDialog(IdCodeEntry& logic, QWidget* parent) : QDialog(parent), m_logic(logic) {
    const DialogUnits du = ApplyDialogTemplate(*this, QString::fromLatin1(text::kIdCodeCaption),
                                               DialogFont(QStringLiteral("Arial"), 9), 79, 66);

    // Created in template order, which is also the tab order.
    m_ok = new QPushButton(QStringLiteral("OK"), this);
    PlaceControl(m_ok, IdNumber(DialogResult::Ok), du, 43, 47, 30, 14);
    m_ok->setDefault(true);

    auto* prompt = new QLabel(QString::fromLatin1(text::kIdCodePrompt), this);
    PlaceControl(prompt, 0, du, 5, 5, 69, 8);
    prompt->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    m_characterInput = new QCheckBox(QString::fromLatin1(text::kIdCharacterInput), this);
    PlaceControl(m_characterInput, IdNumber(IDC_ID_CHARACTER_INPUT), du, 8, 33, 59, 10);

    m_edit = new QLineEdit(this);
    PlaceControl(m_edit, IdNumber(IDC_ID_EDIT), du, 5, 16, 69, 12);
    m_edit->setAlignment(Qt::AlignCenter);
    m_edit->setValidator(new SingleByteValidator(m_edit));
    FitControlsToText(*this);

    // Opening: the erased code, hexadecimal mode, focus in the edit.
    m_logic.SetCharacterMode(false);
    m_edit->setMaxLength(static_cast<int>(m_logic.MaxLength()));
    m_edit->setText(QString::fromLatin1(IdCodeEntry::InitialText()));
    m_edit->selectAll();
    m_edit->setFocus();

    connect(m_characterInput, &QCheckBox::clicked, this,
            [this](bool checked) { OnCharacterInputClicked(checked); });
    connect(m_ok, &QPushButton::clicked, this, [this] { OnOk(); });
}

void IdCodeDialog::OnCharacterInputClicked(bool checked) {
    m_logic.SetCharacterMode(checked);
    m_edit->clear();
    m_edit->setFocus();
    m_edit->setMaxLength(static_cast<int>(m_logic.MaxLength()));
}

void IdCodeDialog::OnOk() {
    if (m_logic.PressOk(m_edit->text().toLatin1().toStdString()))
        done(IdNumber(DialogResult::Ok));
}

}  // namespace o8r
