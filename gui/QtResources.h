#pragma once

// The program's own pictures and looks: icons and the background bitmap by
// resource number (drawn as SVG, so they stay crisp at any scale), the dialog
// fonts, and the colour schemes of the lists.

#include <QColor>
#include <QFont>
#include <QIcon>
#include <QString>

class QWidget;

namespace o8r {

// Icon 128 or 155 to 165; a null icon for any other number.
QIcon IconById(int id);
// Resource path of an SVG picture (bitmap 179), empty for an unknown number.
QString PictureResource(int id);

// The font a dialog template names. Families missing on this system fall back
// to a sans-serif face of the same size.
QFont DialogFont(const QString& family, int pointSize);
// A fixed-pitch font of the given size, for the hex dump.
QFont FixedPitchFont(int pointSize);

// Background and text colours of a tree or list view, for every state of the
// view; disabled text is dimmed so that a disabled list looks disabled.
void SetViewColours(QWidget* view, const QColor& background, const QColor& text);

// The colours of the MCU tree and the property list, and of the erase list and
// the hex dump.
inline QColor CatalogueBackground() {
    return QColor(0, 0, 64);
}
inline QColor CatalogueText() {
    return QColor(255, 255, 0);
}
inline QColor DumpBackground() {
    return QColor(0, 0, 0);
}
inline QColor DumpText() {
    return QColor(0, 255, 0);
}

}  // namespace o8r
