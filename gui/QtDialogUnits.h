#pragma once

// Dialog units to pixels through the metrics of a dialog's font, so that every
// window keeps the proportions of its template on any font and any screen:
// x pixels = x units x average character width / 4, y pixels = y units x
// character height / 8.

#include <QFont>
#include <QRect>
#include <QSize>

namespace o8r {

class DialogUnits {
  public:
    explicit DialogUnits(const QFont& font);
    // Base units given directly (average character width and height in pixels).
    DialogUnits(double averageCharWidth, double charHeight);

    int X(int units) const;
    int Y(int units) const;
    // A control's place from its template: left, top, width, height in units.
    // Both edges are converted, so controls that meet in units meet in pixels.
    QRect Rect(int left, int top, int width, int height) const;
    QSize Size(int width, int height) const;

    double AverageCharWidth() const { return m_averageCharWidth; }
    double CharHeight() const { return m_charHeight; }

  private:
    double m_averageCharWidth;
    double m_charHeight;
};

}  // namespace o8r

class QDialog;
class QWidget;

namespace o8r {

// Gives a dialog the caption, font and client size (in units) of its template,
// with a caption bar and close box but no resizing; returns its units.
DialogUnits ApplyDialogTemplate(QDialog& dialog, const QString& caption, const QFont& font,
                                int width, int height);
// Places a control as its template line says and names it by its id, so that
// tests find every control by the number the system knows it by.
void PlaceControl(QWidget* control, int id, const DialogUnits& units, int left, int top, int width,
                  int height);

}  // namespace o8r
