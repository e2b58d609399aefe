#include "TextFit.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QFontMetricsF>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStyleOptionFrame>
#include <QStyleOptionHeader>
#include <QStyleOptionViewItem>
#include <QTreeView>

#include "gui/QtTextFit.h"

namespace o8r::test {

namespace {

QString Name(const QWidget& widget) {
    QString name = QString::fromLatin1(widget.metaObject()->className());
    if (!widget.objectName().isEmpty())
        name += QLatin1Char(' ') + widget.objectName();
    return name;
}

void Check(QStringList& unfit, const QString& where, const QString& text, int needed, int room) {
    if (needed > room) {
        unfit << QStringLiteral("%1 \"%2\": needs %3 px, has %4")
                     .arg(where, text)
                     .arg(needed)
                     .arg(room);
    }
}

void CheckLabel(QStringList& unfit, const QLabel& label) {
    if (label.text().isEmpty())
        return;
    const int margin = label.margin();
    const QRect room = label.contentsRect().adjusted(margin, margin, -margin, -margin);
    const QString text = label.textFormat() == Qt::RichText ? QString() : label.text();
    if (label.wordWrap()) {
        // Every word on a line of its own at worst, and all the lines in the height.
        for (const QString& word :
             text.split(QRegularExpression(QStringLiteral("[\\s\\x{200B}]+"))))
            Check(unfit, Name(label), word, TextWidth(label.font(), word), room.width());
        const QRect wrapped =
            QFontMetrics(label.font())
                .boundingRect(QRect(0, 0, room.width(), 100000), Qt::TextWordWrap, text);
        Check(unfit, Name(label) + QStringLiteral(" (height)"), text, wrapped.height(),
              room.height());
        return;
    }
    Check(unfit, Name(label), text, TextWidth(label.font(), text), room.width());
    const int lines = static_cast<int>(text.count(QLatin1Char('\n'))) + 1;
    const QFontMetrics metrics(label.font());
    Check(unfit, Name(label) + QStringLiteral(" (height)"), text,
          metrics.height() + (lines - 1) * metrics.lineSpacing(), room.height());
}

// A push button's text lies inside its frame and margins, a check box's after
// the style's indicator and its spacing.
void CheckButton(QStringList& unfit, const QAbstractButton& button) {
    if (button.text().isEmpty())
        return;
    const auto* push = qobject_cast<const QPushButton*>(&button);
    QStyleOptionButton option;
    option.initFrom(&button);
    option.text = button.text();
    option.icon = button.icon();
    option.iconSize = button.iconSize();
    option.state |= button.isChecked() ? QStyle::State_On : QStyle::State_Off;
    if (push && push->isDefault())
        option.features |= QStyleOptionButton::DefaultButton;
    if (push && push->autoDefault())
        option.features |= QStyleOptionButton::AutoDefaultButton;
    const QStyle::SubElement contents =
        push ? QStyle::SE_PushButtonContents : QStyle::SE_CheckBoxContents;
    QRect room = button.style()->subElementRect(contents, &option, &button);
    if (push && !option.icon.isNull())
        room.setWidth(room.width() - option.iconSize.width() - 4);
    Check(unfit, Name(button), button.text(), TextWidth(button.font(), button.text()),
          room.width());
    Check(unfit, Name(button) + QStringLiteral(" (height)"), button.text(),
          QFontMetrics(button.font()).height(), room.height());
}

void CheckEdit(QStringList& unfit, const QLineEdit& edit) {
    if (edit.text().isEmpty())
        return;
    QStyleOptionFrame option;
    option.initFrom(&edit);
    option.rect = edit.rect();
    option.lineWidth = edit.hasFrame()
                           ? edit.style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, &edit)
                           : 0;
    option.state |= QStyle::State_Sunken;
    const QRect contents = edit.style()
                               ->subElementRect(QStyle::SE_LineEditContents, &option, &edit)
                               .marginsRemoved(edit.textMargins());
    // A line edit keeps two pixels free on either side of its text.
    Check(unfit, Name(edit), edit.text(), TextWidth(edit.font(), edit.text()),
          contents.width() - 2 * 2);
}

void CheckHeader(QStringList& unfit, const QString& where, const QHeaderView& header) {
    const QAbstractItemModel* model = header.model();
    if (!model || header.isHidden())
        return;
    for (int section = 0; section < header.count(); ++section) {
        if (header.isSectionHidden(section) || header.sectionSize(section) == 0)
            continue;
        QStyleOptionHeader option;
        option.initFrom(&header);
        option.section = section;
        option.orientation = header.orientation();
        option.text = model->headerData(section, header.orientation()).toString();
        const QVariant alignment =
            model->headerData(section, header.orientation(), Qt::TextAlignmentRole);
        option.textAlignment =
            alignment.isValid() ? Qt::Alignment(alignment.toInt()) : header.defaultAlignment();
        option.rect = QRect(header.sectionViewportPosition(section), 0, header.sectionSize(section),
                            header.height());
        const QRect room = header.style()->subElementRect(QStyle::SE_HeaderLabel, &option, &header);
        Check(unfit, where + QStringLiteral(" header %1").arg(section), option.text,
              TextWidth(header.font(), option.text), room.width());
    }
}

void CheckCell(QStringList& unfit, const QString& where, const QAbstractItemView& view,
               const QModelIndex& index) {
    const QString text = index.data(Qt::DisplayRole).toString();
    const QRect rect = view.visualRect(index);
    if (text.isEmpty() || !rect.isValid())
        return;
    QStyleOptionViewItem option;
    option.initFrom(&view);
    option.widget = &view;
    option.index = index;
    option.rect = rect;
    option.font = view.font();
    option.fontMetrics = QFontMetrics(option.font);
    option.textElideMode = view.textElideMode();
    const QVariant alignment = index.data(Qt::TextAlignmentRole);
    option.displayAlignment =
        alignment.isValid() ? Qt::Alignment(alignment.toInt()) : Qt::AlignLeft | Qt::AlignVCenter;
    option.features |= QStyleOptionViewItem::HasDisplay;
    option.text = text;
    const QVariant check = index.data(Qt::CheckStateRole);
    if (check.isValid()) {
        option.features |= QStyleOptionViewItem::HasCheckIndicator;
        option.checkState = static_cast<Qt::CheckState>(check.toInt());
    }
    const QIcon icon = index.data(Qt::DecorationRole).value<QIcon>();
    if (!icon.isNull()) {
        option.features |= QStyleOptionViewItem::HasDecoration;
        option.icon = icon;
        option.decorationSize = view.iconSize();
    }
    QStyle* style = view.style();
    const QRect textRect = style->subElementRect(QStyle::SE_ItemViewItemText, &option, &view);
    // The style draws the text inside a focus margin on either side.
    const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, &view) + 1;
    Check(unfit, where + QStringLiteral(" cell %1,%2").arg(index.row()).arg(index.column()), text,
          TextWidth(option.font, text), textRect.width() - 2 * margin);
}

void CheckCells(QStringList& unfit, const QString& where, const QAbstractItemView& view,
                const QModelIndex& parent) {
    const QAbstractItemModel* model = view.model();
    const auto* tree = qobject_cast<const QTreeView*>(&view);
    for (int row = 0; row < model->rowCount(parent); ++row) {
        for (int column = 0; column < model->columnCount(parent); ++column) {
            if (tree && tree->isColumnHidden(column))
                continue;
            CheckCell(unfit, where, view, model->index(row, column, parent));
        }
        const QModelIndex child = model->index(row, 0, parent);
        if (tree && tree->isExpanded(child))
            CheckCells(unfit, where, view, child);
    }
}

}  // namespace

QStringList UnfitTexts(const QWidget& window) {
    QStringList unfit;
    for (const QWidget* widget : window.findChildren<QWidget*>()) {
        if (!widget->isVisibleTo(&window))
            continue;
        if (const auto* label = qobject_cast<const QLabel*>(widget)) {
            CheckLabel(unfit, *label);
        } else if (qobject_cast<const QPushButton*>(widget) ||
                   qobject_cast<const QCheckBox*>(widget)) {
            CheckButton(unfit, *static_cast<const QAbstractButton*>(widget));
        } else if (const auto* edit = qobject_cast<const QLineEdit*>(widget)) {
            CheckEdit(unfit, *edit);
        } else if (const auto* view = qobject_cast<const QAbstractItemView*>(widget)) {
            // A header is checked with its view.
            if (!view->model() || qobject_cast<const QHeaderView*>(view))
                continue;
            CheckCells(unfit, Name(*view), *view, QModelIndex());
            if (const auto* tree = qobject_cast<const QTreeView*>(view))
                CheckHeader(unfit, Name(*view), *tree->header());
        }
    }
    return unfit;
}

}  // namespace o8r::test
