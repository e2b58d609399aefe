#pragma once

// What the platform style draws inside the program's dark lists and trees,
// drawn in the view's own colours instead of the window's: the check box of a
// list row (a frame in the text colour on the list's background, with a tick
// when checked, also in a selected row) and the tree's branch lines with their
// expand boxes. Everything else comes from the application's style.

#include <QProxyStyle>

class QAbstractItemView;

namespace o8r {

class QtViewStyle : public QProxyStyle {
  public:
    QtViewStyle();

    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget = nullptr) const override;

  private:
    void DrawCheck(const QStyleOption& option, QPainter& painter) const;
    void DrawBranch(const QStyleOption& option, QPainter& painter) const;
};

// Gives `view` its own QtViewStyle, which lives as long as the view.
void UseViewStyle(QAbstractItemView* view);

}  // namespace o8r
