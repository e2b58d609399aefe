#pragma once

// A static picture control that shows a picture centred at its natural size,
// scaled down only when the control is smaller. The picture comes at 1x and,
// beside it as NAME-2x.png, at 2x for high-density screens.

#include <QImage>
#include <QWidget>

namespace o8r {

class QtPicture : public QWidget {
  public:
    explicit QtPicture(const QString& resource, QWidget* parent = nullptr);

    bool HasPicture() const { return !m_picture.isNull(); }
    // Where the picture is drawn inside the control.
    QRectF PictureRect() const;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QImage m_picture;
    QImage m_picture2x;
};

}  // namespace o8r
