#include "gui/dialogs/HexAddressField.h"

#include <QValidator>

namespace o8r {

namespace {

class UpperCaseValidator : public QValidator {
  public:
    using QValidator::QValidator;
    State validate(QString& input, int&) const override {
        input = input.toUpper();
        return Acceptable;
    }
};

}  // namespace

QLineEdit* HexAddressField(QWidget* parent, int maxLength) {
    auto* field = new QLineEdit(parent);
    field->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    field->setMaxLength(maxLength);
    field->setValidator(new UpperCaseValidator(field));
    return field;
}

}  // namespace o8r
