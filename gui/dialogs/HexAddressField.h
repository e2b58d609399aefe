#pragma once

// The address fields of the address dialogs: hexadecimal digits shown in upper
// case as they are typed, right-aligned, at most `maxLength` of them.

#include <QLineEdit>

namespace o8r {

[[nodiscard]] QLineEdit* HexAddressField(QWidget* parent, int maxLength);

}  // namespace o8r
