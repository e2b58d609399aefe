#pragma once

// What the platform style draws inside the program's dark lists and trees,
// drawn in the view's own colours instead of the window's: the check box of a
// list row (a frame in the text colour on the list's background, with a tick
// when checked, also in a selected row) and the tree's branch lines with their
// expand boxes. The keyboard focus is a solid frame that stands out: in the
// text colour on the dark views, in the highlight colour on buttons and the
// rest. Everything else comes from the platform's style.

#include <QProxyStyle>

class QAbstractItemView;

namespace o8r {

class QtViewStyle : public QProxyStyle {
  public:
    QtViewStyle();

    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget = nullptr) const override;
    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget = nullptr) const override;

  private:
    void DrawCheck(const QStyleOption& option, QPainter& painter) const;
    void DrawBranch(const QStyleOption& option, QPainter& painter, const QWidget* widget) const;
    void DrawFocus(const QStyleOption& option, QPainter& painter, const QWidget* widget) const;
};

// Gives `view` its own QtViewStyle, which lives as long as the view.
void UseViewStyle(QAbstractItemView* view);
// Makes QtViewStyle the application's style (once), so that every window
// shows its focus plainly.
void UseApplicationViewStyle();

}  // namespace o8r
