#include "gui/QtPicture.h"

#include <QPainter>
#include <algorithm>

namespace o8r {

QtPicture::QtPicture(const QString& resource, QWidget* parent) : QWidget(parent) {
    // A picture that fails to load leaves the control empty.
    if (resource.isEmpty())
        return;
    m_picture.load(resource);
    QString name2x = resource;
    const qsizetype dot = name2x.lastIndexOf(QLatin1Char('.'));
    name2x.insert(dot < 0 ? name2x.size() : dot, QStringLiteral("-2x"));
    m_picture2x.load(name2x);
}

QRectF QtPicture::PictureRect() const {
    const QSizeF natural = m_picture.size();
    if (natural.isEmpty())
        return QRectF();
    const double scale = std::min({1.0, width() / natural.width(), height() / natural.height()});
    const QSizeF shown = natural * scale;
    return QRectF(QPointF((width() - shown.width()) / 2, (height() - shown.height()) / 2), shown);
}

void QtPicture::paintEvent(QPaintEvent*) {
    if (m_picture.isNull())
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const bool dense = devicePixelRatioF() > 1.0 && !m_picture2x.isNull();
    painter.drawImage(PictureRect(), dense ? m_picture2x : m_picture);
}

}  // namespace o8r
