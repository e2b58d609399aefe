#include "gui/dialogs/AddressRangeDialog.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "core/model/Ids.h"
#include "core/model/Messages.h"
#include "core/operations/AddressRangeEntry.h"
#include "gui/QtDialogUnits.h"
#include "gui/QtPrompts.h"
#include "gui/QtResources.h"
#include "gui/QtTextFit.h"
#include "gui/dialogs/HexAddressField.h"

namespace o8r {

namespace {

QLineEdit* AddressField(QWidget* parent) {
    return HexAddressField(parent, static_cast<int>(AddressRangeEntry::kFieldLength));
}

}  // namespace

AddressRangeDialog::AddressRangeDialog(AddressRangeEntry& logic, QWidget* parent)
    : QDialog(parent), m_logic(logic) {
    const DialogUnits du =
        ApplyDialogTemplate(*this, QString::fromLatin1(text::kAddressSettingCaption),
                            DialogFont(QStringLiteral("Arial"), 9), 121, 62);

    m_prompt = new QLabel(FromLocal(m_logic.Prompt()), this);
    PlaceControl(m_prompt, IdNumber(IDC_ADDR_PROMPT), du, 5, 5, 110, 8);
    m_prompt->setAlignment(Qt::AlignCenter);

    auto* startLabel = new QLabel(QStringLiteral("Start address"), this);
    PlaceControl(startLabel, 0, du, 6, 17, 44, 8);
    auto* endLabel = new QLabel(QStringLiteral("End address"), this);
    PlaceControl(endLabel, 0, du, 64, 17, 45, 8);

    m_start = AddressField(this);
    PlaceControl(m_start, IdNumber(IDC_ADDR_START), du, 10, 26, 35, 12);
    auto* startH = new QLabel(QStringLiteral("H"), this);
    PlaceControl(startH, 0, du, 45, 27, 8, 8);

    m_end = AddressField(this);
    PlaceControl(m_end, IdNumber(IDC_ADDR_END), du, 67, 26, 35, 12);
    auto* endH = new QLabel(QStringLiteral("H"), this);
    PlaceControl(endH, 0, du, 101, 27, 8, 8);

    // The Enter key presses OK.
    m_ok = new QPushButton(QStringLiteral("OK"), this);
    PlaceControl(m_ok, IdNumber(DialogResult::Ok), du, 81, 43, 34, 14);
    m_ok->setDefault(true);

    FitControlsToText(*this);
    m_start->setFocus();
    connect(m_ok, &QPushButton::clicked, this, [this] { OnOk(); });
}

void AddressRangeDialog::OnOk() {
    std::string start = m_start->text().toLatin1().toStdString();
    std::string end = m_end->text().toLatin1().toStdString();
    const bool accepted = m_logic.PressOk(start, end);
    // The exchange question may have swapped or emptied the two texts.
    m_start->setText(QString::fromLatin1(start));
    m_end->setText(QString::fromLatin1(end));
    if (accepted)
        done(IdNumber(DialogResult::Ok));
}

}  // namespace o8r
