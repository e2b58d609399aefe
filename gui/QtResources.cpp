#include "gui/QtResources.h"

#include <QFontDatabase>
#include <QPalette>
#include <QWidget>

#include "core/model/Ids.h"

// The resources live in a static library; naming the initialiser keeps them linked.
static void InitO8rResources() {
    Q_INIT_RESOURCE(o8r);
}

namespace o8r {

namespace {

void EnsureResources() {
    static const bool done = [] {
        InitO8rResources();
        return true;
    }();
    (void)done;
}

}  // namespace

QIcon IconById(int id) {
    EnsureResources();
    if (id != IdNumber(IDI_APP) && (id < IdNumber(IDI_PROGRAM) || id > IdNumber(IDI_LOAD)))
        return QIcon();
    // Both renditions, so that the icon is crisp at the button size and at twice it.
    QIcon icon;
    icon.addFile(QStringLiteral(":/icons/%1.png").arg(id));
    icon.addFile(QStringLiteral(":/icons/%1-2x.png").arg(id));
    return icon;
}

QString PictureResource(int id) {
    EnsureResources();
    if (id != IdNumber(IDB_BACKGROUND))
        return QString();
    return QStringLiteral(":/bitmaps/%1.png").arg(id);
}

QFont DialogFont(const QString& family, int pointSize) {
    // "System" names the platform's own dialog font rather than a face; the
    // system's general font stands in for it, so that the window never falls
    // back to an old bitmap face that cannot scale.
    if (family == QStringLiteral("System")) {
        QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
        font.setPointSize(pointSize);
        return font;
    }
    // "MS Shell Dlg" is Microsoft Sans Serif, which has Arial's proportions.
    // Arial itself is drawn by a face with its metrics where the system has
    // one (Liberation Sans), so the texts take the room the templates give them.
    const bool arialLike = family == QStringLiteral("MS Shell Dlg") ||
                           family == QStringLiteral("Microsoft Sans Serif");
    QFont font(arialLike ? QStringLiteral("Arial") : family, pointSize);
    font.setStyleHint(QFont::SansSerif);
    return font;
}

QFont FixedPitchFont(int pointSize) {
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPointSize(pointSize);
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    return font;
}

void SetViewColours(QWidget* view, const QColor& background, const QColor& text) {
    QPalette palette = view->palette();
    const QColor dimmed((text.red() + background.red()) / 2,
                        (text.green() + background.green()) / 2,
                        (text.blue() + background.blue()) / 2);
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        palette.setColor(group, QPalette::Base, background);
        palette.setColor(group, QPalette::AlternateBase, background);
        palette.setColor(group, QPalette::Window, background);
        const QColor& ink = group == QPalette::Disabled ? dimmed : text;
        palette.setColor(group, QPalette::Text, ink);
        // The tree's branch arrows are drawn in the window text colour.
        palette.setColor(group, QPalette::WindowText, ink);
    }
    view->setPalette(palette);
    view->setAutoFillBackground(true);
}

}  // namespace o8r
