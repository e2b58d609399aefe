#include "app/QtPicture.h"

#include <QPainter>
#include <algorithm>

namespace o8r {

QtPicture::QtPicture(const QString& resource, QWidget* parent) : QWidget(parent) {
    // A picture that fails to load leaves the control empty.
    if (!resource.isEmpty())
        m_renderer.load(resource);
}

QRectF QtPicture::PictureRect() const {
    const QSizeF natural = m_renderer.defaultSize();
    if (natural.isEmpty())
        return QRectF();
    const double scale = std::min({1.0, width() / natural.width(), height() / natural.height()});
    const QSizeF shown = natural * scale;
    return QRectF(QPointF((width() - shown.width()) / 2, (height() - shown.height()) / 2), shown);
}

void QtPicture::paintEvent(QPaintEvent*) {
    if (!m_renderer.isValid())
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    m_renderer.render(&painter, PictureRect());
}

}  // namespace o8r
