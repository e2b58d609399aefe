// The main window as a person sees it: its views as boxes come and go, the
// catalogue in the tree and the list, its geometry, Enter and the ways out.

#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include "GuiHarness.h"
#include "core/model/Ids.h"
#include "core/window/SharedState.h"
#include "gui/QtDialogUnits.h"
#include "support/ScratchDir.h"

using namespace o8r;
using namespace o8r::test;

namespace {

constexpr ControlId kCommandControls[] = {
    IDC_PROGRAM,       IDC_ERASE,       IDC_READ,       IDC_LOAD,       IDC_BLANK_CHECK,
    IDC_PROGRAM_LABEL, IDC_ERASE_LABEL, IDC_READ_LABEL, IDC_LOAD_LABEL, IDC_BLANK_CHECK_LABEL};

// What one view shows: -1 = whatever, 0 = hidden/disabled, 1 = shown/enabled.
struct ViewExpectation {
    int picture, commands, commandsEnabled, status, progress, tree, list, listEnabled;
};

void ExpectView(GuiHarness& h, const ViewExpectation& v) {
    auto check = [&](ControlId id, int shown, int enabled = -1) {
        if (shown >= 0) {
            QVERIFY2(h.Shown(id) == (shown == 1),
                     qPrintable(QString("shown %1").arg(IdNumber(id))));
        }
        if (enabled >= 0) {
            QVERIFY2(h.Enabled(id) == (enabled == 1),
                     qPrintable(QString("enabled %1").arg(IdNumber(id))));
        }
    };
    check(IDC_PICTURE, v.picture);
    for (ControlId id : kCommandControls) {
        check(id, v.commands, v.commandsEnabled);
        if (QTest::currentTestFailed())
            return;
    }
    check(IDC_STATUS, v.status);
    check(IDC_PROGRESS, v.progress);
    check(IDC_MCU_TREE, v.tree);
    check(IDC_MCU_LIST, v.list, v.listEnabled);
}

// The way out: reset asserted, then the handle closed, and nothing after.
void ExpectReleased(GuiHarness& h) {
    const std::vector<std::string> lines = h.TraceLines();
    QVERIFY(lines.size() >= 2);
    QCOMPARE(lines[lines.size() - 2], std::string("flow 0 0 1 0 0 0"));
    QCOMPARE(lines.back(), std::string("close -> 0"));
    QVERIFY(!h.box.IsOpen());
    // The window's timers have ended with it: the box is not polled again.
    QVERIFY(!h.Window().Timers().IsRunning(TIMER_DEVICE_POLL));
    QTest::qWait(50);
    QCOMPARE(h.TraceLines().size(), lines.size());
}

}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void startViewWithoutBoxStaysUntilABoxComes();
    void pluggingABoxShowsTheNormalView();
    void aBoxInUpdateModeShowsTheFirmwareUpdateView();
    void unpluggingReturnsToThePicture();
    void missingCatalogueIsReportedOnceAndTheBoxIsStillFound();
    void seriesAndPartSelection();
    void keyboardInTheListSelectsNothing();
    void enterDoesNothingAndEscapeReleasesTheBox();
    void theCloseBoxReleasesTheBox();
    void geometryFollowsTheTemplateInDialogUnits();
};

void MainWindowTest::startViewWithoutBoxStaysUntilABoxComes() {
    GuiHarness h(GuiHarness::Unplugged());
    CProgrammerDlg& w = h.Open();
    QCOMPARE(w.windowTitle(), QString("Zovuroz O8R 2O/2V Oredorezev"));
    ExpectView(h, {1, 0, -1, 1, 0, 0, 1, 0});
    QCOMPARE(h.Text(IDC_STATUS), QString());
    QCOMPARE(h.Text(IDC_LOAD_LABEL), QString("Load"));
    QVERIFY(h.messages.empty());
    QVERIFY(SaveScreenshot(w, "start-window.png"));

    // Several polls later nothing has changed: the count is still 0.
    QVERIFY(h.RunFor(1'000'000'000));
    ExpectView(h, {1, 0, -1, 1, 0, 0, 1, 0});
    QVERIFY(h.messages.empty());

    QVERIFY(h.PlugBox());
    ExpectView(h, {0, 1, 1, 1, 0, 1, 1, 0});
}

void MainWindowTest::pluggingABoxShowsTheNormalView() {
    GuiHarness h(GuiHarness::Unplugged());
    h.Open();
    QVERIFY(h.PlugBox());
    ExpectView(h, {0, 1, 1, 1, 0, 1, 1, 0});
    QCOMPARE(h.Text(IDC_STATUS), QString("Please select MCU"));
    const std::pair<ControlId, const char*> labels[] = {{IDC_PROGRAM_LABEL, "Program"},
                                                        {IDC_ERASE_LABEL, "Erase"},
                                                        {IDC_READ_LABEL, "Read"},
                                                        {IDC_LOAD_LABEL, "Load"},
                                                        {IDC_BLANK_CHECK_LABEL, "Blank Check"}};
    for (const auto& [id, text] : labels)
        QCOMPARE(h.Text(id), QString(text));
    const std::pair<ControlId, IconId> icons[] = {{IDC_PROGRAM, IDI_PROGRAM},
                                                  {IDC_ERASE, IDI_ERASE},
                                                  {IDC_READ, IDI_READ},
                                                  {IDC_LOAD, IDI_LOAD},
                                                  {IDC_BLANK_CHECK, IDI_BLANK_CHECK}};
    for (const auto& [id, icon] : icons) {
        QCOMPARE(h.Window().ButtonIcon(id), icon);
        QVERIFY(!h.Window().Button(id)->icon().isNull());
        QVERIFY(!h.Window().Button(id)->toolTip().isEmpty());
    }
    // The tree holds the shipped catalogue: one group with its two series.
    QTreeWidget* tree = h.Window().Tree();
    QCOMPARE(tree->topLevelItemCount(), 1);
    QCOMPARE(tree->topLevelItem(0)->text(0).trimmed(), QString("R8C/Tiny"));
    QCOMPARE(tree->topLevelItem(0)->childCount(), 2);
    QCOMPARE(tree->topLevelItem(0)->child(0)->text(0).trimmed(), QString("R8C/2A"));
    QCOMPARE(tree->topLevelItem(0)->child(1)->text(0).trimmed(), QString("R8C/2B"));
    QVERIFY(h.box.IsOpen());
}

void MainWindowTest::aBoxInUpdateModeShowsTheFirmwareUpdateView() {
    SimOptions options = GuiHarness::Unplugged();
    options.updateMode = true;
    GuiHarness h(options);
    h.Open();
    QVERIFY(h.PlugBox());
    ExpectView(h, {0, 1, -1, 1, 0, 0, 0, -1});
    for (ControlId id : kCommandControls) {
        const bool loadControl = id == IDC_LOAD || id == IDC_LOAD_LABEL;
        QVERIFY2(h.Enabled(id) == loadControl, qPrintable(QString::number(IdNumber(id))));
    }
    QCOMPARE(h.Text(IDC_LOAD_LABEL), QString("Update"));
    QCOMPARE(h.Text(IDC_STATUS), QString("Click to update firmware"));
    QVERIFY(h.Window().Button(IDC_LOAD)->toolTip().contains("firmware"));
}

void MainWindowTest::unpluggingReturnsToThePicture() {
    GuiHarness h(GuiHarness::Unplugged());
    h.Open();
    QVERIFY(h.PlugBox());
    QVERIFY(h.SelectSeries("R8C/2A"));
    h.box.Unplug();
    QVERIFY(GuiHarness::WaitFor([&] { return h.Shown(IDC_PICTURE); }));
    ExpectView(h, {1, 0, -1, 0, 0, 0, 0, -1});
    QVERIFY(!h.box.IsOpen());
    QVERIFY(h.messages.empty());
}

void MainWindowTest::missingCatalogueIsReportedOnceAndTheBoxIsStillFound() {
    ScratchDir empty;
    GuiHarness h(GuiHarness::Unplugged());
    h.Open(empty.Path().string());
    QCOMPARE(h.messages.size(), std::size_t(1));
    QCOMPARE(h.messages[0], Message({"Can not find MCU file!", "ERROR", MsgIcon::Error,
                                     MsgButtons::Ok, Owner::MainWindow}));
    QVERIFY(h.PlugBox());
    QCOMPARE(h.Window().Tree()->topLevelItemCount(), 0);
    QVERIFY(h.Shown(IDC_MCU_TREE));
    QCOMPARE(h.messages.size(), std::size_t(1));
}

void MainWindowTest::seriesAndPartSelection() {
    GuiHarness h;
    h.Open();
    QVERIFY(h.PlugBox());

    // A group item lists nothing and leaves the list disabled.
    QTreeWidget* tree = h.Window().Tree();
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {},
                      tree->visualItemRect(tree->topLevelItem(0)).center());
    QCOMPARE(h.Window().List()->topLevelItemCount(), 0);
    QVERIFY(!h.Enabled(IDC_MCU_LIST));
    QCOMPARE(h.Text(IDC_STATUS), QString("Click MCU list to select. Double click to set ID code."));

    QVERIFY(h.SelectSeries("R8C/2B"));
    QTreeWidget* list = h.Window().List();
    QVERIFY(h.Enabled(IDC_MCU_LIST));
    QCOMPARE(list->topLevelItemCount(), 8);
    QCOMPARE(list->columnCount(), 2);
    QCOMPARE(list->header()->sectionSize(0), 100);
    QCOMPARE(list->header()->sectionSize(1), 100);
    QCOMPARE(list->topLevelItem(2)->text(0), QString("R5F212B8SN"));
    QCOMPARE(list->topLevelItem(2)->text(1).trimmed(), QString("64K+2K"));
    QVERIFY(g_selectedMcu.empty());

    QVERIFY(h.ClickPart("R5F212B8SN"));
    QCOMPARE(g_selectedMcu, std::string("R5F212B8SN"));
    QCOMPARE(h.Text(IDC_STATUS), QString("You have selected R5F212B8."));
    QCOMPARE(CurrentMemoryMap(), (MemoryMap{0x2400, 0x2C00, 0x4000, 0x14000}));

    // A click below the last row selects nothing and changes nothing.
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      QPoint(10, list->viewport()->height() - 3));
    QCOMPARE(g_selectedMcu, std::string("R5F212B8SN"));
    QCOMPARE(h.Text(IDC_STATUS), QString("You have selected R5F212B8."));

    // Another series empties the list and the part chosen from the old one.
    QVERIFY(h.SelectSeries("R8C/2A"));
    QVERIFY(g_selectedMcu.empty());
    QCOMPARE(CurrentMemoryMap(), MemoryMap{});
    QCOMPARE(h.Text(IDC_STATUS), QString("Click MCU list to select. Double click to set ID code."));
    QVERIFY(h.messages.empty());
}

void MainWindowTest::keyboardInTheListSelectsNothing() {
    GuiHarness h;
    h.Open();
    QVERIFY(h.PlugBox());
    QVERIFY(h.SelectPart("R8C/2A", "R5F212A7SN"));
    QCOMPARE(g_selectedMcu, std::string("R5F212A7SN"));

    QTreeWidget* list = h.Window().List();
    list->setFocus();
    QTest::keyClick(list, Qt::Key_Down);
    QTest::keyClick(list, Qt::Key_Down);
    QVERIFY(list->currentItem() != list->topLevelItem(0));
    QCOMPARE(g_selectedMcu, std::string("R5F212A7SN"));
    QCOMPARE(h.Text(IDC_STATUS), QString("You have selected R5F212A7."));

    // The tree, by contrast, follows the keyboard.
    QTreeWidget* tree = h.Window().Tree();
    tree->setFocus();
    QTest::keyClick(tree, Qt::Key_Down);
    QCOMPARE(tree->currentItem()->text(0).trimmed(), QString("R8C/2B"));
    QCOMPARE(list->topLevelItemCount(), 8);
    QCOMPARE(list->topLevelItem(0)->text(0), QString("R5F212B7SN"));
}

void MainWindowTest::enterDoesNothingAndEscapeReleasesTheBox() {
    GuiHarness h;
    CProgrammerDlg& w = h.Open();
    QVERIFY(h.PlugBox());
    QVERIFY(!h.box.InReset());

    // With the focus on a command button Enter starts nothing and ends nothing.
    w.Button(IDC_PROGRAM)->setFocus();
    QTest::keyClick(w.Button(IDC_PROGRAM), Qt::Key_Return);
    QTest::keyClick(&w, Qt::Key_Enter);
    QVERIFY(h.RunFor(500'000'000));
    QVERIFY(w.isVisible());
    QVERIFY(h.messages.empty());
    QVERIFY(h.box.IsOpen());

    QTest::keyClick(&w, Qt::Key_Escape);
    QVERIFY(!w.isVisible());
    QCOMPARE(w.result(), int(QDialog::Rejected));
    ExpectReleased(h);
}

void MainWindowTest::theCloseBoxReleasesTheBox() {
    GuiHarness h;
    CProgrammerDlg& w = h.Open();
    QVERIFY(h.PlugBox());
    QVERIFY(w.close());
    QVERIFY(!w.isVisible());
    ExpectReleased(h);
}

void MainWindowTest::geometryFollowsTheTemplateInDialogUnits() {
    GuiHarness h;
    CProgrammerDlg& w = h.Open();
    const DialogUnits du(w.font());
    QCOMPARE(w.Client()->size(), du.Size(257, 187));
    struct Place {
        ControlId id;
        int x, y, width, height;
    };
    const Place places[] = {
        {IDC_PROGRAM, 5, 5, 25, 25},       {IDC_PROGRAM_LABEL, 5, 30, 27, 8},
        {IDC_ERASE, 5, 40, 25, 25},        {IDC_READ, 5, 75, 25, 25},
        {IDC_ERASE_LABEL, 5, 65, 25, 8},   {IDC_BLANK_CHECK_LABEL, 5, 174, 51, 8},
        {IDC_BLANK_CHECK, 5, 147, 25, 25}, {IDC_READ_LABEL, 5, 100, 24, 8},
        {IDC_PROGRESS, 51, 174, 195, 8},   {IDC_STATUS, 43, 174, 209, 8},
        {IDC_LOAD, 5, 110, 25, 25},        {IDC_LOAD_LABEL, 5, 135, 24, 8},
        {IDC_MCU_LIST, 119, 5, 133, 161},  {IDC_MCU_TREE, 35, 5, 84, 161},
        {IDC_PICTURE, 5, 5, 247, 177},
    };
    for (const Place& p : places) {
        QWidget* control = w.findChild<QWidget*>(QString::number(IdNumber(p.id)));
        QVERIFY2(control, qPrintable(QString::number(IdNumber(p.id))));
        const QRect place = du.Rect(p.x, p.y, p.width, p.height);
        if (qobject_cast<QLabel*>(control)) {
            // A caption may be wider than its template where its text needs it.
            QVERIFY2(control->geometry().contains(place),
                     qPrintable(QString::number(IdNumber(p.id))));
            QCOMPARE(control->y(), place.y());
            QCOMPARE(control->height(), place.height());
        } else {
            QCOMPARE(control->geometry(), place);
        }
    }
    // The picture lies beneath every other control.
    QWidget* picture = w.Control(IDC_PICTURE);
    QCOMPARE(w.Client()->children().indexOf(picture), 0);

    // Tab order is template order: from the Program button on.
    QVERIFY(h.PlugBox());
    const ControlId expected[] = {IDC_PROGRAM, IDC_ERASE,    IDC_READ,    IDC_BLANK_CHECK,
                                  IDC_LOAD,    IDC_MCU_LIST, IDC_MCU_TREE};
    QList<QWidget*> focusable;
    for (QWidget* widget = w.Button(IDC_PROGRAM); focusable.size() < 7;
         widget = widget->nextInFocusChain()) {
        if (widget->focusPolicy() & Qt::TabFocus)
            focusable << widget;
    }
    for (int i = 0; i < 7; ++i)
        QCOMPARE(focusable[i]->objectName(), QString::number(IdNumber(expected[i])));
}

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
