// What a person at the window runs into: the read window on a short screen,
// file dialogs that start where the last file was, the close box during an
// operation, a focus frame that shows, and the tree's first line.

#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QSettings>
#include <QStyleOptionButton>
#include <QStyleOptionFocusRect>
#include <QTest>
#include <QTreeView>
#include <QTreeWidget>

#include "GuiHarness.h"
#include "core/model/Messages.h"
#include "gui/QtFileMemory.h"
#include "gui/QtViewStyle.h"
#include "gui/dialogs/AddressRangeDialog.h"
#include "gui/dialogs/ReadDataWindow.h"
#include "support/SRecordText.h"

using namespace o8r;
using namespace o8r::test;

namespace {

int PixelsUnlike(const QImage& a, const QImage& b) {
    int count = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x)
            count += a.pixel(x, y) != b.pixel(x, y) ? 1 : 0;
    }
    return count;
}

}  // namespace

class UsabilityTest : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void readWindowFitsAShortScreen();
    void fileDialogsStartAtTheLastFileOfTheirKind();
    void closingDuringProgramAsksAndCancels();
    void focusFramesShow();
    void noLineAboveTheFirstGroup();
};

void UsabilityTest::readWindowFitsAShortScreen() {
    GuiHarness h;
    QVERIFY(h.OpenWithPart("R8C/2B", "R5F212B8SN"));
    bool seen = false;
    h.onDialog = [&](QDialog& dialog) {
        if (auto* range = qobject_cast<AddressRangeDialog*>(&dialog)) {
            QTest::keyClicks(range->StartField(), "C000");
            QTest::keyClicks(range->EndField(), "C7FF");
            QTest::mouseClick(range->OkButton(), Qt::LeftButton);
            return;
        }
        auto* read = qobject_cast<ReadDataWindow*>(&dialog);
        QVERIFY(read);
        seen = true;
        QVERIFY(GuiHarness::WaitFor([&] { return read->StatusText()->isVisible(); }));
        // A 1920x1080 screen at 200 % with a task bar: 960 x 520 to place windows in.
        const QRect screen(0, 0, 960, 520);
        read->FitInto(screen);
        QVERIFY2(screen.contains(read->frameGeometry()),
                 qPrintable(QStringLiteral("%1x%2")
                                .arg(read->frameGeometry().width())
                                .arg(read->frameGeometry().height())));
        // The dump takes the room, its scroll bar whole inside the window.
        QTreeView* dump = read->Dump();
        QVERIFY(dump->geometry().bottom() < read->height());
        QVERIFY(dump->height() > read->height() - dump->y() - 20);
        QVERIFY(dump->verticalScrollBar()->isVisible());
        QVERIFY(dump->rect().contains(dump->verticalScrollBar()->geometry()));
        // Resized by hand, the dump follows.
        const int before = dump->height();
        read->resize(read->width(), read->height() - 100);
        QCOMPARE(dump->height(), before - 100);
        read->done(IdNumber(DialogResult::Cancel));
    };
    h.Click(IDC_READ);
    QVERIFY(seen);
}

void UsabilityTest::fileDialogsStartAtTheLastFileOfTheirKind() {
    GuiHarness h;
    const QString root =
        QDir::fromNativeSeparators(QString::fromStdString(h.settingsDir.Path().string()));
    struct Case {
        FileKind kind;
        const char* file;
        bool forSaving;
        bool nameFilledIn;
    };
    const Case cases[] = {
        {FileKind::Image, "boards/app.mot", false, true},
        {FileKind::Firmware, "box/firmware.mot", false, false},
        {FileKind::ReadData, "reads/back.mot", true, false},
    };
    for (const Case& c : cases) {
        const QString path = root + QLatin1Char('/') + QLatin1String(c.file);
        QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
        QVERIFY(h.prompts.FileMemory().StartPath(c.kind).isEmpty());
        FileDialogSpec spec{"title", "Motorola Format(*.mot)", "*.mot", ".mot"};
        spec.kind = c.kind;
        h.chosenFiles.push_back(path.toStdString());
        const auto chosen = c.forSaving ? h.prompts.ChooseSaveFile(Owner::MainWindow, spec)
                                        : h.prompts.ChooseOpenFile(Owner::MainWindow, spec);
        QVERIFY(chosen);
        const QString expected = c.nameFilledIn ? path : QFileInfo(path).absolutePath();
        QCOMPARE(h.prompts.FileMemory().StartPath(c.kind), expected);
        // The next run finds it in the settings.
        QCOMPARE(QtFileMemory(h.SettingsFile()).StartPath(c.kind), expected);

        QFileDialog dialog;
        SetUpFileDialog(dialog, spec, expected, c.forSaving);
        QCOMPARE(QFileInfo(dialog.directory().absolutePath()).canonicalFilePath(),
                 QFileInfo(QFileInfo(path).absolutePath()).canonicalFilePath());
        if (c.nameFilledIn)
            QCOMPARE(dialog.selectedFiles().value(0), path);
        QVERIFY(dialog.width() >= dialog.fontMetrics().averageCharWidth() * 100);
    }
}

void UsabilityTest::closingDuringProgramAsksAndCancels() {
    GuiHarness h;
    CProgrammerDlg& w = h.Open();
    QVERIFY(h.PlugBox() && h.SelectPart("R8C/2A", "R5F212A8SN"));
    ScratchDir dir;
    h.chosenFiles.push_back(
        dir.Write("big.mot", SRecordImage(0x4000, std::vector<std::uint8_t>(64 * 256, 0x5A))));
    h.Click(IDC_PROGRAM);
    QVERIFY(GuiHarness::WaitFor([&] { return w.Controller().PageIndex() > 2; }));
    h.answers.push_back(MsgAnswer::Yes);
    w.close();
    QVERIFY(!w.isVisible());
    QCOMPARE(h.messages.front().text, std::string(text::kCloseWhileRunning));
    QVERIFY(!w.Controller().Busy());
    QVERIFY(w.Controller().PageIndex() < 64);
}

void UsabilityTest::focusFramesShow() {
    QtViewStyle style;
    // On the dark list the frame takes the list's yellow.
    QTreeWidget list;
    QPalette dark = list.palette();
    dark.setColor(QPalette::Base, QColor(0, 0, 64));
    dark.setColor(QPalette::Text, QColor(255, 255, 0));
    list.setPalette(dark);
    QStyleOptionFocusRect focus;
    focus.rect = QRect(2, 2, 60, 16);
    focus.palette = dark;
    focus.state = QStyle::State_HasFocus;
    QImage plain(64, 20, QImage::Format_RGB32);
    plain.fill(QColor(0, 0, 64));
    QImage framed = plain;
    {
        QPainter painter(&framed);
        style.drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &painter, list.viewport());
    }
    QVERIFY(PixelsUnlike(plain, framed) >= 2 * (60 + 16) - 8);

    // A default button with the focus differs from one without by a whole frame.
    QPushButton ok(QStringLiteral("OK"));
    ok.setDefault(true);
    ok.resize(80, 28);
    QStyleOptionButton button;
    button.initFrom(&ok);
    button.text = ok.text();
    button.features = QStyleOptionButton::DefaultButton;
    auto draw = [&](bool focused) {
        QImage image(80, 28, QImage::Format_RGB32);
        image.fill(Qt::white);
        button.state =
            QStyle::State_Enabled | (focused ? QStyle::State_HasFocus : QStyle::State_None);
        QPainter painter(&image);
        style.drawControl(QStyle::CE_PushButton, &button, &painter, &ok);
        return image;
    };
    QVERIFY(PixelsUnlike(draw(false), draw(true)) >= 2 * (80 + 28) - 40);
}

void UsabilityTest::noLineAboveTheFirstGroup() {
    GuiHarness h;
    CProgrammerDlg& w = h.Open();
    QVERIFY(h.PlugBox());
    QTreeWidget* tree = w.Tree();
    tree->clearSelection();
    tree->setCurrentItem(nullptr);
    const QRect row = tree->visualItemRect(tree->topLevelItem(0));
    const QImage image = tree->viewport()->grab().toImage();
    const double ratio = image.devicePixelRatio();
    // Between the row's top and its expand box, in the middle of the branch column.
    const int x = static_cast<int>((row.left() - tree->indentation() / 2) * ratio);
    const QColor background = image.pixelColor(x, static_cast<int>(row.top() * ratio));
    for (int y = static_cast<int>(row.top() * ratio);
         y < static_cast<int>((row.center().y() - 5) * ratio); ++y) {
        QCOMPARE(image.pixelColor(x, y), background);
    }
    QCOMPARE(background, QColor(0, 0, 64));
}

QTEST_MAIN(UsabilityTest)
#include "usability_test.moc"
