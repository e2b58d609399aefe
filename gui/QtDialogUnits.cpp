#include "gui/QtDialogUnits.h"

#include <QDialog>
#include <QFontMetricsF>
#include <QWidget>
#include <cmath>

namespace o8r {

namespace {
// The average width is taken over the 52 letters, as dialog templates assume.
const QString kAlphabet = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
}  // namespace

DialogUnits::DialogUnits(const QFont& font) {
    const QFontMetricsF metrics(font);
    m_averageCharWidth = metrics.horizontalAdvance(kAlphabet) / kAlphabet.size();
    m_charHeight = metrics.height();
}

DialogUnits::DialogUnits(double averageCharWidth, double charHeight)
    : m_averageCharWidth(averageCharWidth), m_charHeight(charHeight) {}

int DialogUnits::X(int units) const {
    return static_cast<int>(std::lround(units * m_averageCharWidth / 4.0));
}

int DialogUnits::Y(int units) const {
    return static_cast<int>(std::lround(units * m_charHeight / 8.0));
}

QRect DialogUnits::Rect(int left, int top, int width, int height) const {
    const int x0 = X(left);
    const int y0 = Y(top);
    return QRect(x0, y0, X(left + width) - x0, Y(top + height) - y0);
}

QSize DialogUnits::Size(int width, int height) const {
    return QSize(X(width), Y(height));
}

}  // namespace o8r

namespace o8r {

DialogUnits ApplyDialogTemplate(QDialog& dialog, const QString& caption, const QFont& font,
                                int width, int height) {
    dialog.setWindowTitle(caption);
    dialog.setFont(font);
    dialog.setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    const DialogUnits units(font);
    dialog.setFixedSize(units.Size(width, height));
    return units;
}

void PlaceControl(QWidget* control, int id, const DialogUnits& units, int left, int top, int width,
                  int height) {
    if (id != 0)
        control->setObjectName(QString::number(id));
    control->setGeometry(units.Rect(left, top, width, height));
}

}  // namespace o8r
