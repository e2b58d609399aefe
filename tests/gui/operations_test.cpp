// The operations as a person runs them: clicks on the main window, answers in
// the message boxes and the dialogs, against the simulated box on virtual time.

#include <QApplication>
#include <QCheckBox>
#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTreeView>
#include <QTreeWidget>

#include "GuiHarness.h"
#include "core/model/Ids.h"
#include "core/window/SharedState.h"
#include "gui/dialogs/AddressRangeDialog.h"
#include "gui/dialogs/EraseBlocksDialog.h"
#include "gui/dialogs/FileLoadingDialog.h"
#include "gui/dialogs/ReadDataWindow.h"
#include "support/SRecordText.h"
#include "support/ScratchDir.h"
#include "support/TestData.h"

using namespace o8r;
using namespace o8r::test;

namespace {

const QString kSeries = "R8C/2A";
const QString kPart = "R5F212A8SN";  // flash 0x4000 to 0x13FFF

// An image of `pages` pages from 0x4000, every byte telling its own address.
std::vector<std::uint8_t> PageData(int pages) {
    std::vector<std::uint8_t> data(static_cast<std::size_t>(pages) * 256);
    for (std::size_t i = 0; i < data.size(); ++i) {
        data[i] = static_cast<std::uint8_t>((i * 7 + (i >> 8)) & 0xFF);
    }
    return data;
}

// Types a range into the Address Setting dialog and presses OK.
void EnterRange(QDialog& dialog, const QString& start, const QString& end) {
    auto* range = qobject_cast<AddressRangeDialog*>(&dialog);
    QVERIFY(range);
    QTest::keyClicks(range->StartField(), start);
    QTest::keyClicks(range->EndField(), end);
    QTest::mouseClick(range->OkButton(), Qt::LeftButton);
}

// The main window back at rest after an operation.
void ExpectIdle(GuiHarness& h) {
    QVERIFY(!h.Shown(IDC_PROGRESS));
    QVERIFY(h.Shown(IDC_STATUS));
    QCOMPARE(h.Text(IDC_PROGRAM_LABEL), QString("Program"));
    QCOMPARE(h.Text(IDC_LOAD_LABEL), QString("Load"));
    QCOMPARE(h.Text(IDC_BLANK_CHECK_LABEL), QString("Blank Check"));
    QCOMPARE(h.Window().ButtonIcon(IDC_PROGRAM), IDI_PROGRAM);
    QCOMPARE(h.Window().ButtonIcon(IDC_BLANK_CHECK), IDI_BLANK_CHECK);
    for (ControlId id : {IDC_PROGRAM, IDC_ERASE, IDC_READ, IDC_LOAD, IDC_BLANK_CHECK}) {
        QVERIFY2(h.Enabled(id), qPrintable(QString::number(IdNumber(id))));
    }
    QVERIFY(!h.Window().Timers().IsRunning(TIMER_OPERATION));
}

struct Ready {
    GuiHarness h;
    ScratchDir dir;
    bool ok = false;
    Ready() {
        h.Open();
        ok = h.PlugBox() && h.SelectPart(kSeries, kPart);
    }
};

}  // namespace

class OperationsTest : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void programWithAChosenFile();
    void programCancelAnsweredNoThenYes();
    void programWithoutAPartOrAFileTouchesNothing();
    void eraseEveryBlockThroughSelectAll();
    void readIntoTheHexDumpThenSave();
    void readWindowAsksBeforeDroppingUnsavedData();
    void blankCheckFindsTheFirstFilledByte();
    void loadIntoTheBoxThenAskBeforeReplacingIt();
    void firmwareUpdateFromTheUpdateView();
};

void OperationsTest::programWithAChosenFile() {
    Ready r;
    QVERIFY(r.ok);
    GuiHarness& h = r.h;
    const std::vector<std::uint8_t> data = PageData(4);
    const std::string image = r.dir.Write("four.mot", SRecordImage(0x4000, data));
    h.chosenFiles.push_back(image);

    // Seen as it is shown: on a slow platform (Wine) the dialog may close
    // itself before a queued look at it comes round.
    struct LoadingDialogSpy : QObject {
        bool shown = false;
        QString title;
        QString text;
        bool eventFilter(QObject* object, QEvent* event) override {
            if (event->type() == QEvent::Show) {
                if (auto* loading = qobject_cast<FileLoadingDialog*>(object)) {
                    shown = true;
                    title = loading->windowTitle();
                    text = loading->Text()->text();
                }
            }
            return false;
        }
    } spy;
    qApp->installEventFilter(&spy);
    std::vector<int> progress;
    QObject::connect(h.Window().ProgressBar(), &QProgressBar::valueChanged,
                     [&](int value) { progress.push_back(value); });
    bool sawCancelFace = false;
    h.onMessage = [&](const Message&) {};

    h.Click(IDC_PROGRAM);
    // While it runs the Program button is its Cancel button.
    QVERIFY(GuiHarness::WaitFor([&] {
        sawCancelFace = sawCancelFace || (h.Text(IDC_PROGRAM_LABEL) == "Cancel" &&
                                          h.Window().ButtonIcon(IDC_PROGRAM) == IDI_CANCEL &&
                                          h.Shown(IDC_PROGRESS) && !h.Shown(IDC_STATUS) &&
                                          h.Enabled(IDC_PROGRAM) && !h.Enabled(IDC_ERASE));
        return !h.messages.empty();
    }));
    QVERIFY(sawCancelFace);
    qApp->removeEventFilter(&spy);
    QVERIFY(spy.shown);
    QCOMPARE(spy.title, QString("File loading"));
    QCOMPARE(spy.text, QString("Please wait for loading file..."));

    QCOMPARE(h.fileDialogs.size(), std::size_t(1));
    QCOMPARE(h.fileDialogs[0].spec.title, std::string("Select open file"));
    QCOMPARE(h.fileDialogs[0].spec.filterLabel, std::string("Motorola Format(*.mot)"));
    QCOMPARE(h.fileDialogs[0].spec.pattern, std::string("*.mot"));
    QVERIFY(!h.fileDialogs[0].forSaving);

    QCOMPARE(h.messages.size(), std::size_t(1));
    QCOMPARE(h.messages[0], Message({"Program successfully completed.", "INFO", MsgIcon::None,
                                     MsgButtons::Ok, Owner::MainWindow}));
    QCOMPARE(progress, (std::vector<int>{25, 50, 75, 0}));
    ExpectIdle(h);
    QCOMPARE(h.Text(IDC_STATUS), QString("You have selected R5F212A8."));
    for (std::size_t i = 0; i < data.size(); ++i) {
        QCOMPARE(h.box.Target().Byte(0x4000 + static_cast<std::uint32_t>(i)), data[i]);
    }
}

void OperationsTest::programCancelAnsweredNoThenYes() {
    Ready r;
    QVERIFY(r.ok);
    GuiHarness& h = r.h;
    h.chosenFiles.push_back(r.dir.Write("forty.mot", SRecordImage(0x4000, PageData(40))));

    h.Click(IDC_PROGRAM);
    QVERIFY(GuiHarness::WaitFor([&] { return h.Window().Progress() >= 20; }));
    const int pagesBefore = static_cast<int>(h.box.PageCommandCount());

    // No: the operation goes on where it stood.
    h.answers = {MsgAnswer::No};
    h.Click(IDC_PROGRAM);
    QCOMPARE(h.messages.back(), Message({"Are you sure to cancel operation?", "WARNING",
                                         MsgIcon::Question, MsgButtons::YesNo, Owner::MainWindow}));
    QCOMPARE(h.Text(IDC_PROGRAM_LABEL), QString("Cancel"));
    QVERIFY(GuiHarness::WaitFor([&] { return h.Window().Progress() >= 50; }));
    QVERIFY(static_cast<int>(h.box.PageCommandCount()) > pagesBefore);

    // Yes: stopped, with the percentage reached.
    const int percent = h.Window().Progress();
    h.answers = {MsgAnswer::Yes};
    h.Click(IDC_PROGRAM);
    QCOMPARE(h.messages.size(), std::size_t(3));
    QCOMPARE(h.messages[2],
             Message({"Operating is canceled.\n" + std::to_string(percent) + "% is finished.",
                      "INFO", MsgIcon::None, MsgButtons::Ok, Owner::MainWindow}));
    ExpectIdle(h);
    QCOMPARE(h.Text(IDC_STATUS), QString("Click MCU list to select. Double click to set ID code."));
    const std::uint32_t sent = h.box.PageCommandCount();
    QVERIFY(h.RunFor(1'000'000'000));
    QCOMPARE(h.box.PageCommandCount(), sent);

    // Every page was sent once, in order: nothing repeated, nothing skipped.
    std::vector<std::string> pages;
    for (const std::string& line : h.box.CommandLog()) {
        if (line.rfind("V ", 0) == 0)
            pages.push_back(line);
    }
    // (The page on its way when the box was reset may not have been taken up.)
    QVERIFY(pages.size() == sent || pages.size() + 1 == sent);
    QVERIFY(pages.size() >= 20);
    for (std::size_t i = 0; i < pages.size(); ++i) {
        char expected[16];
        std::snprintf(expected, sizeof expected, "V %04X", static_cast<unsigned>(0x40 + i));
        QCOMPARE(pages[i], std::string(expected));
    }
}

void OperationsTest::programWithoutAPartOrAFileTouchesNothing() {
    GuiHarness h;
    h.Open();
    QVERIFY(h.PlugBox());
    h.Click(IDC_PROGRAM);
    QCOMPARE(h.messages.size(), std::size_t(1));
    QCOMPARE(h.messages[0], Message({"You haven't selected MCU yet.", "WARNING",
                                     MsgIcon::Exclamation, MsgButtons::Ok, Owner::MainWindow}));
    QVERIFY(h.box.CommandLog().empty());

    // The file dialog cancelled: the box is reset and the window is idle.
    QVERIFY(h.SelectPart(kSeries, kPart));
    h.Click(IDC_PROGRAM);
    QCOMPARE(h.fileDialogs.size(), std::size_t(1));
    QCOMPARE(h.messages.size(), std::size_t(1));
    ExpectIdle(h);
    QVERIFY(h.box.PageCommandCount() == 0);
}

void OperationsTest::eraseEveryBlockThroughSelectAll() {
    Ready r;
    QVERIFY(r.ok);
    GuiHarness& h = r.h;
    for (std::uint32_t a : {0x4000u, 0x8123u, 0xC000u, 0x13FFFu})
        h.box.Target().Poke(a, 0x00);

    int rows = 0;
    h.onDialog = [&](QDialog& dialog) {
        auto* erase = qobject_cast<EraseBlocksDialog*>(&dialog);
        QVERIFY(erase);
        rows = erase->BlockList()->topLevelItemCount();
        QTest::mouseClick(erase->SelectAllBox(), Qt::LeftButton);
        QTest::mouseClick(erase->OkButton(), Qt::LeftButton);
    };
    std::vector<int> progress;
    QObject::connect(h.Window().ProgressBar(), &QProgressBar::valueChanged,
                     [&](int value) { progress.push_back(value); });
    bool allDisabled = false;
    h.Click(IDC_ERASE);
    QVERIFY(GuiHarness::WaitFor([&] {
        allDisabled = allDisabled || (!h.Enabled(IDC_ERASE) && !h.Enabled(IDC_PROGRAM) &&
                                      !h.Enabled(IDC_BLANK_CHECK) && h.Shown(IDC_PROGRESS));
        return !h.messages.empty();
    }));
    QVERIFY(allDisabled);
    QCOMPARE(rows, 4);
    QCOMPARE(h.messages[0], Message({"Erase successfully completed.", "INFO", MsgIcon::None,
                                     MsgButtons::Ok, Owner::MainWindow}));
    QCOMPARE(progress, (std::vector<int>{25, 50, 75, 100, 0}));
    std::vector<std::string> erased;
    for (const std::string& line : h.box.CommandLog()) {
        if (line[0] == 'E')
            erased.push_back(line);
    }
    QCOMPARE(erased, (std::vector<std::string>{"E 0040", "E 0080", "E 00C0", "E 0100"}));
    for (std::uint32_t a : {0x4000u, 0x8123u, 0xC000u, 0x13FFFu}) {
        QCOMPARE(h.box.Target().Byte(a), std::uint8_t(0xFF));
    }
    ExpectIdle(h);
}

void OperationsTest::readIntoTheHexDumpThenSave() {
    Ready r;
    QVERIFY(r.ok);
    GuiHarness& h = r.h;
    for (std::uint32_t a = 0xC0F8; a <= 0xC117; ++a) {
        h.box.Target().Poke(a, static_cast<std::uint8_t>(a & 0xFF));
    }
    const std::string saved = r.dir.File("read.mot");
    h.chosenFiles.push_back(saved);

    bool readWindowSeen = false;
    h.onDialog = [&](QDialog& dialog) {
        if (qobject_cast<AddressRangeDialog*>(&dialog)) {
            QCOMPARE(qobject_cast<AddressRangeDialog*>(&dialog)->PromptLine()->text(),
                     QString("Please set read range"));
            EnterRange(dialog, "c0f8", "c117");
            return;
        }
        auto* read = qobject_cast<ReadDataWindow*>(&dialog);
        QVERIFY(read);
        readWindowSeen = true;
        QCOMPARE(read->windowTitle(), QString("Read data"));
        QVERIFY(GuiHarness::WaitFor([&] { return read->StatusText()->isVisible(); }));
        QCOMPARE(h.messages.back(), Message({"Read completed.", "INFO", MsgIcon::None,
                                             MsgButtons::Ok, Owner::ReadData}));
        QCOMPARE(read->StatusText()->text(), QString("Read completed."));
        QVERIFY(!read->ProgressBar()->isVisible());
        QCOMPARE(read->ProgressBar()->value(), 100);
        QCOMPARE(read->ButtonIcon(), IdNumber(IDI_SAVE));

        QAbstractItemModel* dump = read->Dump()->model();
        QCOMPARE(dump->rowCount(), 3);
        QCOMPARE(dump->data(dump->index(0, 0)).toString(), QString(" 00C0F0"));
        QCOMPARE(dump->data(dump->index(0, 8)).toString(), QString());  // +7, before the range
        QCOMPARE(dump->data(dump->index(0, 9)).toString(), QString("F8"));
        QCOMPARE(dump->data(dump->index(1, 0)).toString(), QString(" 00C100"));
        QCOMPARE(dump->data(dump->index(1, 16)).toString(), QString("0F"));
        QCOMPARE(dump->data(dump->index(2, 8)).toString(), QString("17"));
        QCOMPARE(dump->data(dump->index(2, 9)).toString(), QString());  // +8, after the range
        QVERIFY(read->Dump()->font().fixedPitch());

        // The button now saves; Enter presses it.
        QVERIFY(read->Button()->isDefault());
        QTest::keyClick(read, Qt::Key_Return);
        QCOMPARE(read->StatusText()->text(), QString("Read data is saved."));
        QCOMPARE(read->ButtonIcon(), IdNumber(IDI_SAVED));
        // Saved: closing asks nothing.
        const std::size_t before = h.messages.size();
        QTest::keyClick(read, Qt::Key_Escape);
        QVERIFY(!read->isVisible());
        QCOMPARE(h.messages.size(), before);
    };
    h.Click(IDC_READ);
    QVERIFY(readWindowSeen);
    QCOMPARE(h.Texts(),
             (std::vector<std::string>{"Read completed.", "Read data is saved successfully."}));
    QCOMPARE(h.fileDialogs.size(), std::size_t(1));
    QVERIFY(h.fileDialogs[0].forSaving);
    QCOMPARE(h.fileDialogs[0].owner, Owner::ReadData);
    QCOMPARE(h.fileDialogs[0].spec.title, std::string("Save file"));
    QCOMPARE(h.fileDialogs[0].spec.defaultExtension, std::string(".mot"));
    QCOMPARE(ReadWholeFile(saved), std::string("S00600005A4F4B05\r\n"
                                               "S20C00C0F8F8F9FAFBFCFDFEFF5F\r\n"
                                               "S21400C100000102030405060708090A0B0C0D0E0FB2\r\n"
                                               "S20C00C110101112131415161786\r\n"
                                               "S80400C0F04B"));
    ExpectIdle(h);
    QVERIFY(h.box.InReset() == false);
}

void OperationsTest::readWindowAsksBeforeDroppingUnsavedData() {
    Ready r;
    QVERIFY(r.ok);
    GuiHarness& h = r.h;
    const std::string question =
        "The data has not been saved. \nAre you sure to quit anyway without save?";
    bool stayedOpen = false;
    h.onDialog = [&](QDialog& dialog) {
        if (qobject_cast<AddressRangeDialog*>(&dialog)) {
            EnterRange(dialog, "C000", "C3FF");
            return;
        }
        auto* read = qobject_cast<ReadDataWindow*>(&dialog);
        QVERIFY(read);
        QVERIFY(GuiHarness::WaitFor([&] { return read->StatusText()->isVisible(); }));
        QCOMPARE(read->Dump()->model()->rowCount(), 64);
        // No keeps the window and its data.
        h.answers = {MsgAnswer::No};
        QTest::keyClick(read, Qt::Key_Escape);
        stayedOpen = read->isVisible();
        QCOMPARE(h.messages.back(), Message({question, "INFO", MsgIcon::Question, MsgButtons::YesNo,
                                             Owner::ReadData}));
        QCOMPARE(read->Dump()->model()->rowCount(), 64);
        // Yes lets it go.
        h.answers = {MsgAnswer::Yes};
        read->close();
        QVERIFY(!read->isVisible());
    };
    h.Click(IDC_READ);
    QVERIFY(stayedOpen);
    QCOMPARE(h.Texts(), (std::vector<std::string>{"Read completed.", question, question}));
    ExpectIdle(h);
}

void OperationsTest::blankCheckFindsTheFirstFilledByte() {
    Ready r;
    QVERIFY(r.ok);
    GuiHarness& h = r.h;
    h.box.Target().Poke(0xC1A3, 0x5A);
    h.box.Target().Poke(0xC2A0, 0x00);  // later bytes do not count
    bool stillRunningDuringMessage = false;
    h.onDialog = [&](QDialog& dialog) {
        auto* range = qobject_cast<AddressRangeDialog*>(&dialog);
        QVERIFY(range);
        QCOMPARE(range->PromptLine()->text(), QString("Please set check range"));
        EnterRange(dialog, "C000", "C3FF");
    };
    h.onMessage = [&](const Message&) {
        // The box is reset only after this message: the check still shows.
        stillRunningDuringMessage = h.Text(IDC_BLANK_CHECK_LABEL) == "Cancel" &&
                                    h.Window().ButtonIcon(IDC_BLANK_CHECK) == IDI_CANCEL;
    };
    h.Click(IDC_BLANK_CHECK);
    QVERIFY(GuiHarness::WaitFor([&] { return !h.messages.empty(); }));
    QCOMPARE(h.messages[0],
             Message({"Check area is not empty.\nThe first filled address is 0x0C1A3.", "INFO",
                      MsgIcon::Exclamation, MsgButtons::Ok, Owner::MainWindow}));
    QVERIFY(stillRunningDuringMessage);
    QVERIFY(GuiHarness::WaitFor([&] { return h.Text(IDC_BLANK_CHECK_LABEL) == "Blank Check"; }));
    ExpectIdle(h);
    std::vector<std::string> reads;
    for (const std::string& line : h.box.CommandLog()) {
        if (line[0] == 'R')
            reads.push_back(line);
    }
    QCOMPARE(reads, (std::vector<std::string>{"R 00C0", "R 00C1"}));
}

void OperationsTest::loadIntoTheBoxThenAskBeforeReplacingIt() {
    Ready r;
    QVERIFY(r.ok);
    GuiHarness& h = r.h;
    h.chosenFiles.push_back(r.dir.Write("blink.mot", SRecordImage(0x4000, PageData(2))));
    bool cancelFace = false;
    h.Click(IDC_LOAD);
    QVERIFY(GuiHarness::WaitFor([&] {
        cancelFace = cancelFace || (h.Text(IDC_LOAD_LABEL) == "Cancel" &&
                                    h.Window().ButtonIcon(IDC_LOAD) == IDI_CANCEL &&
                                    h.Enabled(IDC_LOAD) && !h.Enabled(IDC_PROGRAM));
        return !h.messages.empty();
    }));
    QVERIFY(cancelFace);
    // An empty store asks nothing before the file is chosen.
    QCOMPARE(h.messages[0], Message({"File load successfully completed.", "INFO", MsgIcon::None,
                                     MsgButtons::Ok, Owner::MainWindow}));
    ExpectIdle(h);

    // Now the box holds "blink": the question names it, and No stops there.
    h.answers = {MsgAnswer::No};
    h.Click(IDC_LOAD);
    QCOMPARE(h.messages.size(), std::size_t(2));
    QCOMPARE(h.messages[1],
             Message({"The file \"blink\" is in programmer.\nReload will erase this file!\n"
                      "Are you sure to continue?",
                      "INFO", MsgIcon::Question, MsgButtons::YesNo, Owner::MainWindow}));
    QCOMPARE(h.fileDialogs.size(), std::size_t(1));
    ExpectIdle(h);
}

void OperationsTest::firmwareUpdateFromTheUpdateView() {
    SimOptions options = GuiHarness::Unplugged();
    options.updateMode = true;
    GuiHarness h(options);
    h.Open();
    QVERIFY(h.PlugBox());
    QCOMPARE(h.Text(IDC_LOAD_LABEL), QString("Update"));

    // The file dialog cancelled: the button is usable again and nothing was sent.
    h.Click(IDC_LOAD);
    QVERIFY(h.Enabled(IDC_LOAD) && h.Enabled(IDC_LOAD_LABEL));
    QVERIFY(h.messages.empty());
    QVERIFY(h.box.CommandLog().empty());

    h.chosenFiles.push_back(SourcePath("data/firmware-sample.mot"));
    h.Click(IDC_LOAD);
    QCOMPARE(h.Texts(), (std::vector<std::string>{"Update completed. Please reset Programmer."}));
    QCOMPARE(h.messages[0].caption, std::string("INFO"));
    QCOMPARE(h.Text(IDC_STATUS), QString("Update completed. Please reset Programmer"));
    QVERIFY(h.Shown(IDC_STATUS));
    QVERIFY(!h.Shown(IDC_PROGRESS));
    QVERIFY(h.Enabled(IDC_LOAD));
    QVERIFY(!h.Enabled(IDC_PROGRAM));
}

QTEST_MAIN(OperationsTest)
#include "operations_test.moc"
