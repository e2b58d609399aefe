#pragma once

// A static picture control that shows an SVG picture centred at its natural
// size, scaled down only when the control is smaller, and crisp at any scale.

#include <QSvgRenderer>
#include <QWidget>

namespace o8r {

class QtPicture : public QWidget {
  public:
    explicit QtPicture(const QString& resource, QWidget* parent = nullptr);

    bool HasPicture() const { return m_renderer.isValid(); }
    // Where the picture is drawn inside the control.
    QRectF PictureRect() const;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QSvgRenderer m_renderer;
};

}  // namespace o8r
