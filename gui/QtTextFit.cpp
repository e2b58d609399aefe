#include "gui/QtTextFit.h"

#include <QCheckBox>
#include <QFontMetricsF>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTreeView>
#include <algorithm>
#include <cmath>

namespace o8r {

int TextWidth(const QFont& font, const QString& text) {
    const QFontMetricsF metrics(font);
    qreal widest = 0;
    for (QString line : text.split(QLatin1Char('\n'))) {
        while (!line.isEmpty() && line.back().isSpace())
            line.chop(1);
        widest = std::max(widest, metrics.horizontalAdvance(line));
    }
    // Advances are fractional at fractional screen scales; a hair below a
    // whole pixel is that pixel.
    return static_cast<int>(std::ceil(widest - 0.01));
}

namespace {

struct Need {
    int width = 0;  // 0: nothing to fit
    Qt::Alignment alignment = Qt::AlignLeft;
};

// The room a button-like control leaves for its text: its width less what the
// style draws around the text (frame, margins, check indicator and spacing).
int Surround(const QWidget& control, QStyle::SubElement contents, const QString& text) {
    QStyleOptionButton option;
    option.initFrom(&control);
    option.text = text;
    const QRect room = control.style()->subElementRect(contents, &option, &control);
    return control.width() - room.width();
}

Need NeedOf(const QWidget& control) {
    if (const auto* label = qobject_cast<const QLabel*>(&control)) {
        if (label->text().isEmpty() || label->textFormat() == Qt::RichText)
            return {};
        const int frame = label->width() - label->contentsRect().width() + 2 * label->margin();
        return {TextWidth(label->font(), label->text()) + frame, label->alignment()};
    }
    // A check box's text follows the style's indicator; a push button's is
    // centred inside its frame.
    const bool box = qobject_cast<const QCheckBox*>(&control) != nullptr;
    if (box || qobject_cast<const QPushButton*>(&control)) {
        const QString text = static_cast<const QAbstractButton&>(control).text();
        if (text.isEmpty())
            return {};
        const QStyle::SubElement contents =
            box ? QStyle::SE_CheckBoxContents : QStyle::SE_PushButtonContents;
        return {TextWidth(control.font(), text) + Surround(control, contents, text),
                box ? Qt::AlignLeft : Qt::AlignHCenter};
    }
    return {};
}

}  // namespace

void FitControlToText(QWidget* control) {
    if (!control)
        return;
    const Need need = NeedOf(*control);
    QRect place = control->geometry();
    const int grow = need.width - place.width();
    if (grow <= 0)
        return;
    if (need.alignment & Qt::AlignHCenter) {
        place.adjust(-grow / 2, 0, grow - grow / 2, 0);
    } else if (need.alignment & Qt::AlignRight) {
        place.adjust(-grow, 0, 0, 0);
    } else {
        place.adjust(0, 0, grow, 0);
    }
    if (const QWidget* parent = control->parentWidget()) {
        if (place.right() >= parent->width())
            place.moveRight(parent->width() - 1);
        if (place.left() < 0)
            place.moveLeft(0);
    }
    control->setGeometry(place);
}

void FitControlsToText(QWidget& window) {
    for (QWidget* control : window.findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        FitControlToText(control);
}

void FitColumnsToContents(QTreeView& view) {
    QHeaderView* header = view.header();
    // QTreeView hides the item views' public size hint; the view's own answer
    // comes through the base.
    const QAbstractItemView& items = view;
    for (int column = 0; column < header->count(); ++column) {
        const int needed = std::max(items.sizeHintForColumn(column),
                                    header->isHidden() ? 0 : header->sectionSizeHint(column));
        if (needed > header->sectionSize(column))
            header->resizeSection(column, needed);
    }
}

}  // namespace o8r
