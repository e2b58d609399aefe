#pragma once

// Texts that fit their controls. The templates give every control a size in
// dialog units, which follows the font's average character width; a word of
// wide letters, or a style whose check indicator is larger than the one the
// template was drawn for, can still need a few pixels more. These functions
// measure what the font and the style need and widen a control or a list
// column by the difference, so that no text is ever cut or elided.

class QFont;
class QString;
class QTreeView;
class QWidget;

namespace o8r {

// Pixels the widest line of `text` takes in `font`. Trailing blanks are left
// out, as they are never drawn.
int TextWidth(const QFont& font, const QString& text);

// Widens a label, check box or push button whose text needs more room than it
// has: a centred text grows on both sides, a left-aligned one to the right, a
// right-aligned one to the left; the control stays inside its parent. A
// control that has room, or no text, is left as it is.
void FitControlToText(QWidget* control);
// The same for every label, check box and push button of a window.
void FitControlsToText(QWidget& window);

// Widens each column of a list whose cells or heading need more than its
// width; narrower contents keep the width the template gives.
void FitColumnsToContents(QTreeView& view);

}  // namespace o8r
