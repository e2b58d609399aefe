#pragma once

// Whether a window shows its texts whole. For every visible label, push
// button, check box, column header and list cell the width the font needs for
// the text is measured and compared with the room the style leaves for it
// beside its indicator, margins and frame: where the room is smaller, the
// text is elided or clipped.

#include <QString>
#include <QStringList>

class QWidget;

namespace o8r::test {

// One line per text that does not fit: what shows it, the text, the pixels it
// needs and the pixels it has. Empty when everything fits.
QStringList UnfitTexts(const QWidget& window);

}  // namespace o8r::test
