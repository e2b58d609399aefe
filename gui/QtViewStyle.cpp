#include "gui/QtViewStyle.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QPainter>
#include <QPainterPath>
#include <QStyleOptionViewItem>
#include <QTreeView>
#include <algorithm>

namespace o8r {

namespace {

// The expand box of a tree branch, in pixels, as the platform's trees draw it.
constexpr qreal kBranchBox = 9;

QColor Mix(const QColor& a, const QColor& b) {
    return QColor((a.red() + b.red()) / 2, (a.green() + b.green()) / 2, (a.blue() + b.blue()) / 2);
}

}  // namespace

QtViewStyle::QtViewStyle() = default;

void QtViewStyle::drawPrimitive(PrimitiveElement element, const QStyleOption* option,
                                QPainter* painter, const QWidget* widget) const {
    if (option && painter) {
        if (element == PE_IndicatorItemViewItemCheck) {
            DrawCheck(*option, *painter);
            return;
        }
        if (element == PE_IndicatorBranch) {
            DrawBranch(*option, *painter, widget);
            return;
        }
        if (element == PE_FrameFocusRect) {
            DrawFocus(*option, *painter, widget);
            return;
        }
    }
    QProxyStyle::drawPrimitive(element, option, painter, widget);
}

void QtViewStyle::DrawCheck(const QStyleOption& option, QPainter& painter) const {
    const QPalette::ColorGroup group =
        option.state & State_Enabled ? QPalette::Normal : QPalette::Disabled;
    const QColor ink = option.palette.color(group, QPalette::Text);
    const QColor background = option.palette.color(group, QPalette::Base);

    const qreal side = std::min(option.rect.width(), option.rect.height()) - 1;
    const QRectF box(option.rect.x() + (option.rect.width() - side) / 2.0,
                     option.rect.y() + (option.rect.height() - side) / 2.0, side, side);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setPen(QPen(ink, 1));
    painter.setBrush(background);
    painter.drawRect(box.adjusted(0.5, 0.5, -0.5, -0.5));

    const auto* item = qstyleoption_cast<const QStyleOptionViewItem*>(&option);
    const Qt::CheckState state =
        item ? item->checkState : (option.state & State_On ? Qt::Checked : Qt::Unchecked);
    if (state == Qt::Checked) {
        QPainterPath tick;
        tick.moveTo(box.left() + side * 0.22, box.top() + side * 0.52);
        tick.lineTo(box.left() + side * 0.42, box.top() + side * 0.72);
        tick.lineTo(box.left() + side * 0.78, box.top() + side * 0.28);
        painter.setPen(
            QPen(ink, std::max<qreal>(1.5, side / 7), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(tick);
    } else if (state == Qt::PartiallyChecked) {
        painter.fillRect(box.adjusted(side * 0.3, side * 0.3, -side * 0.3, -side * 0.3), ink);
    }
    painter.restore();
}

void QtViewStyle::drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                              const QWidget* widget) const {
    QProxyStyle::drawControl(element, option, painter, widget);
    // A button with the focus shows it whatever the platform style does,
    // and differently from the frame of the default button.
    if (element == CE_PushButton && option && painter && (option->state & State_HasFocus)) {
        QStyleOptionFocusRect focus;
        focus.QStyleOption::operator=(*option);
        focus.rect = subElementRect(SE_PushButtonFocusRect, option, widget);
        DrawFocus(focus, *painter, widget);
    }
}

void QtViewStyle::DrawFocus(const QStyleOption& option, QPainter& painter,
                            const QWidget* widget) const {
    // Inside a list or tree the frame takes the view's text colour (yellow on
    // the dark blue); elsewhere the highlight colour, which differs from the
    // frame of a default button.
    const QWidget* view = widget;
    while (view && !qobject_cast<const QAbstractItemView*>(view))
        view = view->parentWidget();
    const QColor ink = view ? view->palette().color(QPalette::Text)
                            : option.palette.color(QPalette::Normal, QPalette::Highlight);
    const qreal width = view ? 1.0 : 2.0;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(QPen(ink, width, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    painter.setBrush(Qt::NoBrush);
    const qreal inset = width / 2;
    painter.drawRect(QRectF(option.rect)
                         .adjusted(inset, inset, -inset - (view ? 1 : 0), -inset - (view ? 1 : 0)));
    painter.restore();
}

void QtViewStyle::DrawBranch(const QStyleOption& option, QPainter& painter,
                             const QWidget* widget) const {
    const QColor ink = option.palette.color(QPalette::Text);
    const QColor line = Mix(ink, option.palette.color(QPalette::Base));
    const QRectF r = option.rect;
    const qreal midX = std::floor(r.center().x()) + 0.5;
    const qreal midY = std::floor(r.center().y()) + 0.5;
    const bool children = option.state & State_Children;
    const qreal half = children ? kBranchBox / 2 : 0;

    painter.save();
    painter.setPen(QPen(line, 1, Qt::DotLine));
    // Up to the parent, or to the sibling above; the first item at the root
    // has neither.
    bool firstAtRoot = false;
    if (const auto* tree = qobject_cast<const QTreeView*>(widget);
        tree && (option.state & State_Item)) {
        const QModelIndex index = tree->indexAt(r.center().toPoint());
        firstAtRoot = index.isValid() && !index.parent().isValid() && index.row() == 0;
    }
    if (!firstAtRoot && (option.state & (State_Item | State_Sibling | State_Children | State_Open)))
        painter.drawLine(QPointF(midX, r.top()), QPointF(midX, midY - half));
    // On to the siblings below.
    if (option.state & State_Sibling)
        painter.drawLine(QPointF(midX, midY + half), QPointF(midX, r.bottom() + 1));
    // Across to the item.
    if (option.state & State_Item) {
        if (option.direction == Qt::RightToLeft) {
            painter.drawLine(QPointF(r.left(), midY), QPointF(midX - half, midY));
        } else {
            painter.drawLine(QPointF(midX + half, midY), QPointF(r.right() + 1, midY));
        }
    }
    if (children) {
        const QRectF box(midX - half, midY - half, kBranchBox - 1, kBranchBox - 1);
        painter.setPen(QPen(line, 1));
        painter.setBrush(option.palette.color(QPalette::Base));
        painter.drawRect(box);
        painter.setPen(QPen(ink, 1));
        painter.drawLine(QPointF(box.left() + 2, midY), QPointF(box.right() - 2, midY));
        if (!(option.state & State_Open))
            painter.drawLine(QPointF(midX, box.top() + 2), QPointF(midX, box.bottom() - 2));
    }
    painter.restore();
}

void UseApplicationViewStyle() {
    if (dynamic_cast<QtViewStyle*>(QApplication::style()) == nullptr)
        QApplication::setStyle(new QtViewStyle);
}

void UseViewStyle(QAbstractItemView* view) {
    auto* style = new QtViewStyle;
    style->setParent(view);
    view->setStyle(style);
}

}  // namespace o8r
