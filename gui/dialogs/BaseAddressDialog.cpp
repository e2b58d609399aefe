#include "gui/dialogs/BaseAddressDialog.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "core/model/Ids.h"
#include "core/model/Messages.h"
#include "core/operations/BaseAddressEntry.h"
#include "gui/QtDialogUnits.h"
#include "gui/QtPrompts.h"
#include "gui/QtResources.h"
#include "gui/QtTextFit.h"
#include "gui/dialogs/HexAddressField.h"

namespace o8r {

BaseAddressDialog::BaseAddressDialog(BaseAddressEntry& logic, QWidget* parent)
    : QDialog(parent), m_logic(logic) {
    const DialogUnits du =
        ApplyDialogTemplate(*this, QString::fromLatin1(text::kAddressSettingCaption),
                            DialogFont(QStringLiteral("Arial"), 9), 121, 62);

    auto* prompt = new QLabel(QString::fromLatin1(text::kPromptBinaryBase), this);
    PlaceControl(prompt, 0, du, 5, 5, 110, 8);
    prompt->setAlignment(Qt::AlignCenter);
    auto* label = new QLabel(QStringLiteral("Start address"), this);
    PlaceControl(label, 0, du, 6, 17, 44, 8);

    m_address = HexAddressField(this, static_cast<int>(BaseAddressEntry::kFieldLength));
    m_address->setText(QString::fromLatin1(m_logic.InitialText()));
    PlaceControl(m_address, 0, du, 10, 26, 35, 12);
    auto* hex = new QLabel(QStringLiteral("H"), this);
    PlaceControl(hex, 0, du, 45, 27, 8, 8);

    // The Enter key presses OK; Escape and the close box cancel.
    m_ok = new QPushButton(QStringLiteral("OK"), this);
    PlaceControl(m_ok, IdNumber(DialogResult::Ok), du, 81, 43, 34, 14);
    m_ok->setDefault(true);

    FitControlsToText(*this);
    m_address->setFocus();
    m_address->selectAll();
    connect(m_ok, &QPushButton::clicked, this, [this] { OnOk(); });
}

void BaseAddressDialog::OnOk() {
    if (m_logic.PressOk(m_address->text().toLatin1().toStdString()))
        done(IdNumber(DialogResult::Ok));
}

}  // namespace o8r
