// Every text of every window whole, at the screen scale this run is given
// (QT_SCALE_FACTOR 1, 1.5 and 2 run as three tests): the main window in each
// of its views with each status and label text, and every dialog. At scales 1
// and 2 the windows are also photographed into docs/.

#include <QCheckBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QStyleOptionViewItem>
#include <QTest>
#include <QTreeWidget>

#include "GuiHarness.h"
#include "OperatorRig.h"
#include "TextFit.h"
#include "core/model/Ids.h"
#include "core/model/Messages.h"
#include "gui/dialogs/AddressRangeDialog.h"
#include "gui/dialogs/EraseBlocksDialog.h"
#include "gui/dialogs/FileLoadingDialog.h"
#include "gui/dialogs/IdCodeDialog.h"
#include "gui/dialogs/ReadDataWindow.h"
#include "support/SRecordText.h"
#include "support/ScratchDir.h"

using namespace o8r;
using namespace o8r::test;

namespace {

const QString kSeries = "R8C/2B";
const QString kPart = "R5F212B8SN";  // data flash blocks A and B, program blocks 0 to 3

#define EXPECT_FITS(window, what)                                                      \
    do {                                                                               \
        const QStringList unfit = UnfitTexts(window);                                  \
        QVERIFY2(unfit.isEmpty(), qPrintable(QString(what) + QStringLiteral(":\n  ") + \
                                             unfit.join(QStringLiteral("\n  "))));     \
    } while (false)

// The scale this run was started with.
double Scale() {
    const QByteArray factor = qgetenv("QT_SCALE_FACTOR");
    return factor.isEmpty() ? 1.0 : factor.toDouble();
}

// docs/<name>.png at scale 1, docs/<name>-2x.png at scale 2, nothing otherwise.
void Photograph(QWidget& window, const char* name) {
    const double scale = Scale();
    if (scale != 1.0 && scale != 2.0)
        return;
    const std::string file = std::string(name) + (scale == 2.0 ? "-2x.png" : ".png");
    QVERIFY(SaveScreenshot(window, file));
}

// Pixels inside `rect` of `image` that differ clearly from `background`.
int PixelsUnlike(const QImage& image, const QRect& rect, const QColor& background) {
    int count = 0;
    for (int y = rect.top(); y <= rect.bottom(); ++y) {
        for (int x = rect.left(); x <= rect.right(); ++x) {
            const QColor c = image.pixelColor(x, y);
            const int distance = std::abs(c.red() - background.red()) +
                                 std::abs(c.green() - background.green()) +
                                 std::abs(c.blue() - background.blue());
            count += distance > 96 ? 1 : 0;
        }
    }
    return count;
}

// Where the check indicator of a row of the erase list is drawn, in device
// pixels of a grab of the list's viewport.
QRect IndicatorRect(QTreeWidget* list, int row, double devicePixelRatio) {
    QTreeWidgetItem* item = list->topLevelItem(row);
    QStyleOptionViewItem option;
    option.initFrom(list);
    option.widget = list;
    option.rect = list->visualItemRect(item);
    option.features = QStyleOptionViewItem::HasCheckIndicator | QStyleOptionViewItem::HasDisplay;
    option.text = item->text(0);
    option.rect.setWidth(list->columnWidth(0));
    const QRect r =
        list->style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, list);
    return QRect(QPoint(qFloor(r.left() * devicePixelRatio), qFloor(r.top() * devicePixelRatio)),
                 QPoint(qCeil((r.right() + 1) * devicePixelRatio) - 1,
                        qCeil((r.bottom() + 1) * devicePixelRatio) - 1));
}

}  // namespace

class TextFitTest : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void initTestCase();
    void mainWindowInEveryView();
    void idCodeDialogInBothModes();
    void eraseDialogRowsAndTheirChecks();
    void addressDialogAndReadWindow();
    void fileLoadingDialog();
    void operatorViewOneBoxAndFour();
};

void TextFitTest::initTestCase() {
    qInfo("screen scale %g", Scale());
}

void TextFitTest::mainWindowInEveryView() {
    {
        GuiHarness h(GuiHarness::Unplugged());
        CProgrammerDlg& w = h.Open();
        EXPECT_FITS(w, "start view");
        QVERIFY(h.PlugBox());
        EXPECT_FITS(w, "normal view");
        QVERIFY(h.SelectPart(kSeries, kPart));
        EXPECT_FITS(w, "a part selected");
        Photograph(w, "main-window");

        // Every text the status line and the command labels can show.
        std::vector<std::string> statuses = {text::kStatusSelectMcu,
                                             text::kStatusClickList,
                                             text::kStatusClickListAfterFailure,
                                             text::kStatusClickToUpdate,
                                             text::kStatusWaitErasing,
                                             text::kStatusUpdateCompleted};
        for (const McuListRow& row : w.Controller().ListRows())
            statuses.push_back(text::SelectedStatus(row.part));
        for (const std::string& status : statuses) {
            w.SetControlText(IDC_STATUS, status);
            EXPECT_FITS(w, "status " + QString::fromStdString(status));
        }
        for (ControlId label : {IDC_PROGRAM_LABEL, IDC_LOAD_LABEL, IDC_BLANK_CHECK_LABEL}) {
            w.SetControlText(label, text::kLabelCancel);
        }
        EXPECT_FITS(w, "labels of a running operation");
    }
    {
        SimOptions options = GuiHarness::Unplugged();
        options.updateMode = true;
        GuiHarness h(options);
        CProgrammerDlg& w = h.Open();
        QVERIFY(h.PlugBox());
        QCOMPARE(h.Text(IDC_LOAD_LABEL), QString("Update"));
        EXPECT_FITS(w, "firmware update view");
    }
}

void TextFitTest::idCodeDialogInBothModes() {
    GuiHarness h;
    h.Open();
    QVERIFY(h.PlugBox());
    QVERIFY(h.SelectSeries(kSeries));
    bool seen = false;
    h.onDialog = [&](QDialog& dialog) {
        auto* id = qobject_cast<IdCodeDialog*>(&dialog);
        QVERIFY(id);
        seen = true;
        EXPECT_FITS(*id, "ID code, hexadecimal");
        Photograph(*id, "id-code-dialog");
        QTest::mouseClick(id->CharacterInput(), Qt::LeftButton);
        QVERIFY(id->CharacterInput()->isChecked());
        // The widest seven characters.
        QTest::keyClicks(id->Edit(), "WWWWWWW");
        EXPECT_FITS(*id, "ID code, characters");
        id->done(IdNumber(DialogResult::Cancel));
    };
    QVERIFY(h.DoubleClickPart(kPart));
    QVERIFY(seen);
}

void TextFitTest::eraseDialogRowsAndTheirChecks() {
    GuiHarness h;
    QVERIFY(h.OpenWithPart(kSeries, kPart));
    bool seen = false;
    h.onDialog = [&](QDialog& dialog) {
        auto* erase = qobject_cast<EraseBlocksDialog*>(&dialog);
        QVERIFY(erase);
        seen = true;
        QTreeWidget* list = erase->BlockList();
        QCOMPARE(list->topLevelItemCount(), 6);
        QCOMPARE(list->topLevelItem(0)->text(0), QString("Block A"));
        EXPECT_FITS(*erase, "erase setting, nothing checked");

        // A click on a row's indicator checks it; the next row is selected.
        const QRect indicator = IndicatorRect(list, 1, 1.0);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, indicator.center());
        QCOMPARE(list->topLevelItem(1)->checkState(0), Qt::Checked);
        list->setCurrentItem(list->topLevelItem(2));
        list->clearFocus();
        EXPECT_FITS(*erase, "erase setting, a row checked");
        Photograph(*erase, "erase-dialog");

        // Each indicator stands out from the list's black: an unchecked one
        // by its frame, a checked one by its tick as well, and the selected
        // row's from the selection colour.
        const QImage image = list->viewport()->grab().toImage();
        const double ratio = image.devicePixelRatio();
        const QRect unchecked = IndicatorRect(list, 0, ratio);
        const QRect checked = IndicatorRect(list, 1, ratio);
        const QRect selected = IndicatorRect(list, 2, ratio);
        const int perimeter = 2 * (unchecked.width() + unchecked.height());
        const int uncheckedInk = PixelsUnlike(image, unchecked, Qt::black);
        QVERIFY2(uncheckedInk >= perimeter / 2, qPrintable(QString::number(uncheckedInk)));
        QVERIFY(PixelsUnlike(image, checked, Qt::black) > uncheckedInk + perimeter / 4);
        const QColor highlight = image.pixelColor(selected.left() - 2, selected.center().y());
        QVERIFY(highlight != QColor(Qt::black));
        QVERIFY(PixelsUnlike(image, selected, highlight) >= perimeter / 2);
        erase->done(IdNumber(DialogResult::Cancel));
    };
    h.Click(IDC_ERASE);
    QVERIFY(seen);
}

void TextFitTest::addressDialogAndReadWindow() {
    GuiHarness h;
    QVERIFY(h.OpenWithPart(kSeries, kPart));
    for (std::uint32_t a = 0xC0F8; a <= 0xC117; ++a)
        h.box.Target().Poke(a, static_cast<std::uint8_t>(a & 0xFF));

    bool readSeen = false;
    h.onDialog = [&](QDialog& dialog) {
        if (auto* range = qobject_cast<AddressRangeDialog*>(&dialog)) {
            QTest::keyClicks(range->StartField(), "FFFFF");
            QTest::keyClicks(range->EndField(), "FFFFF");
            EXPECT_FITS(*range, "address setting");
            range->StartField()->clear();
            range->EndField()->clear();
            QTest::keyClicks(range->StartField(), "C0F8");
            QTest::keyClicks(range->EndField(), "C117");
            Photograph(*range, "address-dialog");
            QTest::mouseClick(range->OkButton(), Qt::LeftButton);
            return;
        }
        auto* read = qobject_cast<ReadDataWindow*>(&dialog);
        QVERIFY(read);
        readSeen = true;
        EXPECT_FITS(*read, "read data, reading");
        QVERIFY(GuiHarness::WaitFor([&] { return read->StatusText()->isVisible(); }));
        EXPECT_FITS(*read, "read data, read");
        Photograph(*read, "read-window");
        for (const char* status : {text::kReadCompleted, text::kReadCanceled, text::kReadTimeOut,
                                   text::kReadDataSavedStatus}) {
            read->SetStatusText(status);
            EXPECT_FITS(*read, status);
        }
        read->done(IdNumber(DialogResult::Cancel));
    };
    h.Click(IDC_READ);
    QVERIFY(readSeen);

    // Blank Check asks for its range with its own prompt.
    bool checkSeen = false;
    h.onDialog = [&](QDialog& dialog) {
        auto* range = qobject_cast<AddressRangeDialog*>(&dialog);
        QVERIFY(range);
        checkSeen = true;
        QCOMPARE(range->PromptLine()->text(), QString(text::kPromptCheckRange));
        EXPECT_FITS(*range, "address setting for a blank check");
        range->done(IdNumber(DialogResult::Cancel));
    };
    h.Click(IDC_BLANK_CHECK);
    QVERIFY(checkSeen);
}

void TextFitTest::fileLoadingDialog() {
    GuiHarness h;
    QVERIFY(h.OpenWithPart(kSeries, kPart));
    ScratchDir dir;
    h.chosenFiles.push_back(
        dir.Write("one.mot", SRecordImage(0x4000, std::vector<std::uint8_t>(256, 0x5A))));
    bool seen = false;
    h.onDialog = [&](QDialog& dialog) {
        if (auto* loading = qobject_cast<FileLoadingDialog*>(&dialog)) {
            seen = true;
            EXPECT_FITS(*loading, "file loading");
        }
    };
    h.Click(IDC_PROGRAM);
    QVERIFY(seen);
    QVERIFY(h.WaitForMessage("Program successfully completed."));
}

void TextFitTest::operatorViewOneBoxAndFour() {
    {
        GuiHarness h;
        h.Open();
        QVERIFY(h.PlugBox());
        OperatorRig rig(h);
        QVERIFY(rig.Run([&](OperatorWindow& view) {
            EXPECT_FITS(view, "operator view, ready");
            QVERIFY(OperatorRig::StartAndFinish(view));
            EXPECT_FITS(view, "operator view, a pass");
            Photograph(view, "operator-view-pass");
            // The image changes behind the job: the next board fails.
            rig.dir.Write("app.mot", "S00600004844521B\nS9030000FC\n");
            QVERIFY(OperatorRig::StartAndFinish(view));
            EXPECT_FITS(view, "operator view, a failure");
            Photograph(view, "operator-view-fail");
        }));
    }
    {
        GuiHarness h;
        h.Open();
        OperatorRig rig(h, "sim:4", {2});
        QVERIFY(rig.Run([&](OperatorWindow& view) {
            QVERIFY(OperatorRig::StartAndFinish(view));
            EXPECT_FITS(view, "operator view, four boxes");
            // Four boxes fit a 1920x1080 screen at this scale.
            const QSize screen = view.screen()->availableGeometry().size();
            QVERIFY2(view.frameGeometry().height() <= screen.height() &&
                         view.frameGeometry().width() <= screen.width(),
                     qPrintable(QStringLiteral("%1x%2")
                                    .arg(view.frameGeometry().width())
                                    .arg(view.frameGeometry().height())));
            Photograph(view, "operator-view-four");
        }));
    }
}

QTEST_MAIN(TextFitTest)
#include "text_fit_test.moc"
