// The dialogs through their real widgets, and the pieces under every window:
// dialog units, the window timers on virtual time and the hex dump model.

#include <QApplication>
#include <QCheckBox>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include "GuiHarness.h"
#include "core/model/Ids.h"
#include "core/operations/AddressRangeEntry.h"
#include "core/operations/BaseAddressEntry.h"
#include "core/operations/EraseBlockChoice.h"
#include "core/operations/IdCodeEntry.h"
#include "core/window/SharedState.h"
#include "gui/QtDialogUnits.h"
#include "gui/QtPicture.h"
#include "gui/QtResources.h"
#include "gui/QtWindowTimers.h"
#include "gui/dialogs/AddressRangeDialog.h"
#include "gui/dialogs/BaseAddressDialog.h"
#include "gui/dialogs/EraseBlocksDialog.h"
#include "gui/dialogs/IdCodeDialog.h"
#include "gui/dialogs/QtHexDumpModel.h"
#include "support/ScratchDir.h"
#include "support/TestData.h"

using namespace o8r;
using namespace o8r::test;

namespace {

using IdCode = std::array<std::uint8_t, 7>;
constexpr IdCode kErased = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};

// Prompts for one dialog on its own: messages answered from a list.
struct ScriptedPrompts {
    QtPrompts prompts;
    std::vector<Message> messages;
    std::deque<MsgAnswer> answers;
    ScriptedPrompts() {
        prompts.SetMessageHook([this](const Message& m) {
            messages.push_back(m);
            if (m.buttons == MsgButtons::Ok)
                return MsgAnswer::Ok;
            if (answers.empty())
                return MsgAnswer::No;
            const MsgAnswer a = answers.front();
            answers.pop_front();
            return a;
        });
    }
};

void TypeInto(QLineEdit* edit, const QString& text) {
    edit->setFocus();
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Delete);
    for (QChar ch : text) {
        // Key clicks know only ASCII; other characters arrive as typed text.
        QTest::sendKeyEvent(QTest::Click, edit, Qt::Key_unknown, QString(ch), Qt::NoModifier);
    }
}

}  // namespace

class DialogsTest : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void dialogUnitsConvertBothEdges_data();
    void dialogUnitsConvertBothEdges();
    void virtualTimersFireInOrderOfTheirPeriods();
    void aTimerStoppedInItsOwnTickStopsAndOneRestartedKeepsRunning();
    void hexDumpModelShowsAppendedRowsAndEmptiedCells();
    void idCodeDialogOpensWithTheErasedCode();
    void idCodeDialogRules_data();
    void idCodeDialogRules();
    void idCodeDialogClosedWithoutOkKeepsTheErasedCode();
    void addressDialogFieldsAndExchange();
    void addressDialogMessagesAreOwnedByTheDialog();
    void eraseDialogListsBlocksAndSelectsAll();
    void baseDialogStartsAtTheProgramRomAndTakesOnlyTheMap();
    void realMessageBoxesCarryTextCaptionIconAndButtons_data();
    void realMessageBoxesCarryTextCaptionIconAndButtons();
    void realFileDialogsCarryTitleAndFilter();
    void everyIconAndThePictureLoad();
};

void DialogsTest::dialogUnitsConvertBothEdges_data() {
    QTest::addColumn<double>("charWidth");
    QTest::addColumn<double>("charHeight");
    QTest::addColumn<QRect>("units");
    QTest::addColumn<QRect>("pixels");
    // x * width / 4, y * height / 8, rounded; right and bottom edges converted
    // on their own so that neighbours meet.
    QTest::newRow("classic 6x13") << 6.0 << 13.0 << QRect(5, 5, 25, 25) << QRect(8, 8, 37, 41);
    QTest::newRow("7x16") << 7.0 << 16.0 << QRect(119, 5, 133, 161) << QRect(208, 10, 233, 322);
    QTest::newRow("fractional") << 6.5 << 15.0 << QRect(43, 174, 209, 8) << QRect(70, 326, 340, 15);
    QTest::newRow("origin") << 8.0 << 20.0 << QRect(0, 0, 4, 8) << QRect(0, 0, 8, 20);
}

void DialogsTest::dialogUnitsConvertBothEdges() {
    QFETCH(double, charWidth);
    QFETCH(double, charHeight);
    QFETCH(QRect, units);
    QFETCH(QRect, pixels);
    const DialogUnits du(charWidth, charHeight);
    QCOMPARE(du.Rect(units.x(), units.y(), units.width(), units.height()), pixels);
    // Two controls that meet in units meet in pixels.
    const QRect left = du.Rect(5, 5, 25, 25);
    const QRect right = du.Rect(30, 5, 25, 25);
    QCOMPARE(left.right() + 1, right.left());
}

void DialogsTest::virtualTimersFireInOrderOfTheirPeriods() {
    VirtualClock clock;
    QtWindowTimers timers(clock);
    QObject owner;
    std::vector<std::pair<TimerId, std::uint64_t>> fired;
    auto record = [&](TimerId id) { fired.emplace_back(id, clock.Now() / 1'000'000); };
    timers.Start(&owner, TIMER_DEVICE_POLL, 200, record);
    timers.Start(&owner, TIMER_OPERATION, 1, record);
    QVERIFY(timers.Virtual());
    QVERIFY(GuiHarness::WaitFor([&] { return clock.Now() >= 400'000'000; }));
    timers.Stop(TIMER_DEVICE_POLL);
    timers.Stop(TIMER_OPERATION);

    int polls = 0;
    int ticks = 0;
    std::uint64_t last = 0;
    for (const auto& [id, ms] : fired) {
        QVERIFY(ms >= last);  // virtual time never runs backwards
        last = ms;
        if (id == TIMER_DEVICE_POLL) {
            ++polls;
            QCOMPARE(ms % 200, std::uint64_t(0));
        } else {
            ++ticks;
        }
    }
    QCOMPARE(polls, 2);
    QVERIFY(ticks >= 399 && ticks <= 401);
}

void DialogsTest::aTimerStoppedInItsOwnTickStopsAndOneRestartedKeepsRunning() {
    VirtualClock clock;
    QtWindowTimers timers(clock);
    QObject owner;
    int once = 0;
    int restarted = 0;
    timers.Start(&owner, TIMER_FILE_LOAD, 100, [&](TimerId id) {
        timers.Stop(id);  // the loading dialog's timer fires once
        ++once;
    });
    std::function<void(TimerId)> again = [&](TimerId id) {
        ++restarted;
        timers.Start(&owner, id, 1, again);  // as the engine does after a declined cancel
    };
    timers.Start(&owner, TIMER_OPERATION, 1, again);
    QVERIFY(GuiHarness::WaitFor([&] { return clock.Now() >= 300'000'000; }));
    QCOMPARE(once, 1);
    QVERIFY(!timers.IsRunning(TIMER_FILE_LOAD));
    QVERIFY(timers.IsRunning(TIMER_OPERATION));
    QVERIFY(restarted >= 290);

    // A handler that blocked for a long while gets one late tick, not a pile.
    int late = 0;
    timers.Stop(TIMER_OPERATION);
    timers.Start(&owner, TIMER_READ, 1, [&](TimerId) {
        if (late++ == 0)
            clock.Advance(50'000'000);
    });
    const std::uint64_t start = clock.Now();
    QVERIFY(GuiHarness::WaitFor([&] { return clock.Now() >= start + 60'000'000; }));
    QVERIFY(late <= 12);

    // The timers of a window that is gone stop with it.
    {
        QObject window;
        timers.Start(&window, TIMER_READ, 1, [&](TimerId) { ++late; });
    }
    QVERIFY(GuiHarness::WaitFor([&] { return !timers.IsRunning(TIMER_READ); }));
    const int after = late;
    QTest::qWait(20);
    QCOMPARE(late, after);
}

void DialogsTest::hexDumpModelShowsAppendedRowsAndEmptiedCells() {
    std::vector<ReadRow> rows;
    QtHexDumpModel model(rows);
    QCOMPARE(model.columnCount(), 17);
    QCOMPARE(model.headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(), QString("ADDRESS"));
    QCOMPARE(model.headerData(1, Qt::Horizontal, Qt::DisplayRole).toString(), QString("+0"));
    QCOMPARE(model.headerData(10, Qt::Horizontal, Qt::DisplayRole).toString(), QString("+9"));
    QCOMPARE(model.headerData(11, Qt::Horizontal, Qt::DisplayRole).toString(), QString("+A"));
    QCOMPARE(model.headerData(16, Qt::Horizontal, Qt::DisplayRole).toString(), QString("+F"));
    QCOMPARE(model.headerData(0, Qt::Horizontal, Qt::TextAlignmentRole).toInt() & Qt::AlignRight,
             int(Qt::AlignRight));
    QCOMPARE(model.headerData(5, Qt::Horizontal, Qt::TextAlignmentRole).toInt() & Qt::AlignHCenter,
             int(Qt::AlignHCenter));

    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    ReadRow row;
    row[0] = " 00C000";
    for (int c = 1; c <= 16; ++c)
        row[c] = "AB";
    rows.push_back(row);
    rows.push_back(row);
    model.RowsChanged(0);
    QCOMPARE(model.rowCount(), 2);
    QCOMPARE(inserted.size(), 1);
    QCOMPARE(inserted[0][1].toInt(), 0);
    QCOMPARE(inserted[0][2].toInt(), 1);
    QCOMPARE(changed.size(), 0);
    QCOMPARE(model.data(model.index(1, 0), Qt::DisplayRole).toString(), QString(" 00C000"));

    // Cells emptied in a row already shown are passed on as a change.
    rows[1][16] = "";
    rows.push_back(row);
    model.RowsChanged(1);
    QCOMPARE(model.rowCount(), 3);
    QCOMPARE(inserted.size(), 2);
    QCOMPARE(changed.size(), 1);
    QCOMPARE(changed[0][0].value<QModelIndex>().row(), 1);
    QCOMPARE(model.data(model.index(1, 16), Qt::DisplayRole).toString(), QString());
    QVERIFY(!model.data(model.index(5, 0), Qt::DisplayRole).isValid());
}

void DialogsTest::idCodeDialogOpensWithTheErasedCode() {
    GuiHarness h;
    h.Open();
    QVERIFY(h.PlugBox());
    QVERIFY(h.SelectSeries("R8C/2A"));
    bool seen = false;
    h.onDialog = [&](QDialog& dialog) {
        auto* id = qobject_cast<IdCodeDialog*>(&dialog);
        QVERIFY(id);
        seen = true;
        QCOMPARE(id->windowTitle(), QString("ID code"));
        QCOMPARE(id->Edit()->text(), QString("FFFFFFFFFFFFFF"));
        QCOMPARE(id->Edit()->maxLength(), 14);
        QVERIFY(!id->CharacterInput()->isChecked());
        QCOMPARE(id->focusWidget(), id->Edit());
        QCOMPARE(id->findChild<QLabel*>()->text(), QString("Please input ID code"));

        // Character mode empties the field and allows 7 characters.
        QTest::mouseClick(id->CharacterInput(), Qt::LeftButton);
        QCOMPARE(id->Edit()->text(), QString());
        QCOMPARE(id->Edit()->maxLength(), 7);
        QCOMPARE(id->focusWidget(), id->Edit());
        QTest::keyClicks(id->Edit(), "ABCDEFGHIJ");
        QCOMPARE(id->Edit()->text(), QString("ABCDEFG"));
        // And back: empty again, 14 hexadecimal digits.
        QTest::mouseClick(id->CharacterInput(), Qt::LeftButton);
        QCOMPARE(id->Edit()->text(), QString());
        QCOMPARE(id->Edit()->maxLength(), 14);
        QTest::keyClicks(id->Edit(), "0123456789ABCDEF");
        QCOMPARE(id->Edit()->text(), QString("0123456789ABCD"));
        QTest::mouseClick(id->OkButton(), Qt::LeftButton);
    };
    QVERIFY(h.DoubleClickPart("R5F212A8SN"));
    QVERIFY(seen);
    QCOMPARE(g_selectedMcu, std::string("R5F212A8SN"));
    QCOMPARE(h.Text(IDC_STATUS), QString("You have selected R5F212A8."));
    QCOMPARE(g_idCode, (IdCode{0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD}));
    QVERIFY(h.messages.empty());
}

void DialogsTest::idCodeDialogRules_data() {
    QTest::addColumn<bool>("characterMode");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QList<int>>("answers");  // 1 = Yes, 0 = No
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<bool>("closed");
    QTest::addColumn<QByteArray>("code");

    const QByteArray erased(7, char(0xFF));
    const QString fill = "Input ID < 7 bytes.\nUse 0xFF to fill higher bytes?";
    QTest::newRow("prefilled code unchanged")
        << false << QString("FFFFFFFFFFFFFF") << QList<int>{} << QStringList{} << true << erased;
    QTest::newRow("empty") << false << QString() << QList<int>{}
                           << QStringList{"You haven't input ID yet!"} << false << erased;
    QTest::newRow("four digits, Yes")
        << false << QString("12ab") << QList<int>{1} << QStringList{fill} << true
        << QByteArray("\xFF\xFF\xFF\xFF\xFF\x12\xAB", 7);
    QTest::newRow("four digits, No")
        << false << QString("1234") << QList<int>{0} << QStringList{fill} << false << erased;
    QTest::newRow("odd digits") << false << QString("123") << QList<int>{}
                                << QStringList{"Please input with completed byte!"} << false
                                << erased;
    QTest::newRow("blank before odd count")
        << false << QString("12 4") << QList<int>{} << QStringList{"Please input with HEX format!"}
        << false << erased;
    QTest::newRow("seven characters") << true << QString("Renesas") << QList<int>{} << QStringList{}
                                      << true << QByteArray("Renesas");
    QTest::newRow("three characters, Yes")
        << true << QString("abc") << QList<int>{1} << QStringList{fill} << true
        << QByteArray(
               "\xFF\xFF\xFF\xFF"
               "abc",
               7);
    QTest::newRow("three characters, No")
        << true << QString("abc") << QList<int>{0} << QStringList{fill} << false << erased;
    QTest::newRow("character with a one-byte code") << true
                                                    << QString::fromUtf8(
                                                           "caf\xC3\xA9"
                                                           "123")
                                                    << QList<int>{} << QStringList{} << true
                                                    << QByteArray(
                                                           "caf\xE9"
                                                           "123");
}

void DialogsTest::idCodeDialogRules() {
    QFETCH(bool, characterMode);
    QFETCH(QString, typed);
    QFETCH(QList<int>, answers);
    QFETCH(QStringList, messages);
    QFETCH(bool, closed);
    QFETCH(QByteArray, code);

    GuiHarness h;
    h.Open();
    QVERIFY(h.PlugBox());
    QVERIFY(h.SelectSeries("R8C/2A"));
    for (int a : answers)
        h.answers.push_back(a ? MsgAnswer::Yes : MsgAnswer::No);
    bool stillOpen = false;
    h.onDialog = [&](QDialog& dialog) {
        auto* id = qobject_cast<IdCodeDialog*>(&dialog);
        QVERIFY(id);
        if (characterMode)
            QTest::mouseClick(id->CharacterInput(), Qt::LeftButton);
        TypeInto(id->Edit(), typed);
        QCOMPARE(id->Edit()->text(), typed);
        QTest::mouseClick(id->OkButton(), Qt::LeftButton);
        stillOpen = id->isVisible();
        // What the fill rule left in the code while the dialog stays open.
        if (stillOpen) {
            QCOMPARE(g_idCode, kErased);
            dialog.done(IdNumber(DialogResult::Cancel));
        }
    };
    QVERIFY(h.DoubleClickPart("R5F212A8SN"));
    QCOMPARE(stillOpen, !closed);

    QStringList shown;
    for (const Message& m : h.messages) {
        shown << QString::fromStdString(m.text);
        QCOMPARE(m.owner, Owner::IdCode);
        if (m.buttons == MsgButtons::YesNo) {
            QCOMPARE(m.caption, std::string("WARNING"));
            QCOMPARE(m.icon, MsgIcon::Exclamation);
        }
    }
    QCOMPARE(shown, messages);
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(g_idCode.data()), 7), code);
}

void DialogsTest::idCodeDialogClosedWithoutOkKeepsTheErasedCode() {
    GuiHarness h;
    h.Open();
    QVERIFY(h.PlugBox());
    QVERIFY(h.SelectSeries("R8C/2A"));
    g_idCode = {1, 2, 3, 4, 5, 6, 7};
    h.onDialog = [&](QDialog& dialog) {
        auto* id = qobject_cast<IdCodeDialog*>(&dialog);
        QVERIFY(id);
        TypeInto(id->Edit(), "00112233445566");
        QTest::keyClick(id, Qt::Key_Escape);
        QVERIFY(!id->isVisible());
    };
    QVERIFY(h.DoubleClickPart("R5F212A8SN"));
    QCOMPARE(g_idCode, kErased);
    QVERIFY(h.messages.empty());
}

void DialogsTest::addressDialogFieldsAndExchange() {
    ScriptedPrompts s;
    SetMemoryMap(MemoryMap{0, 0, 0x4000, 0x14000});
    AddressRangeEntry logic(s.prompts, CurrentMemoryMap(), "Please set read range");
    AddressRangeDialog dialog(logic);
    dialog.show();
    QCOMPARE(dialog.PromptLine()->text(), QString("Please set read range"));
    QCOMPARE(dialog.StartField()->maxLength(), 5);
    QCOMPARE(dialog.EndField()->maxLength(), 5);
    QCOMPARE(dialog.focusWidget(), dialog.StartField());
    QVERIFY(dialog.StartField()->alignment() & Qt::AlignRight);
    QVERIFY(dialog.OkButton()->isDefault());

    // Typed letters show in upper case; a sixth character is refused.
    QTest::keyClicks(dialog.StartField(), "c1000f");
    QCOMPARE(dialog.StartField()->text(), QString("C1000"));
    dialog.StartField()->clear();

    // End below start: No empties both fields and the dialog stays.
    QTest::keyClicks(dialog.StartField(), "c100");
    QTest::keyClicks(dialog.EndField(), "c0f0");
    s.answers = {MsgAnswer::No};
    QTest::mouseClick(dialog.OkButton(), Qt::LeftButton);
    QVERIFY(dialog.isVisible());
    QCOMPARE(dialog.StartField()->text(), QString());
    QCOMPARE(dialog.EndField()->text(), QString());
    QCOMPARE(s.messages.size(), std::size_t(1));
    QCOMPARE(s.messages.back(),
             Message({"End address < Start address.\nExchange start address and end address?",
                      "WARNING", MsgIcon::Question, MsgButtons::YesNo, Owner::AddressSetting}));

    // Yes exchanges the texts and closes with the range in order.
    QTest::keyClicks(dialog.StartField(), "C1FF");
    QTest::keyClicks(dialog.EndField(), "C0F0");
    s.answers = {MsgAnswer::Yes};
    QTest::keyClick(dialog.EndField(), Qt::Key_Return);  // Enter presses OK
    QCOMPARE(dialog.StartField()->text(), QString("C0F0"));
    QCOMPARE(dialog.EndField()->text(), QString("C1FF"));
    QVERIFY(!dialog.isVisible());
    QCOMPARE(dialog.result(), IdNumber(DialogResult::Ok));
    QCOMPARE(logic.Start(), 0xC0F0u);
    QCOMPARE(logic.End(), 0xC1FFu);
    QCOMPARE(logic.PageCount(), std::uint16_t(2));
}

void DialogsTest::addressDialogMessagesAreOwnedByTheDialog() {
    struct Case {
        const char* start;
        const char* end;
        const char* message;
    };
    const Case cases[] = {
        {"", "", "You have not inputed start address yet!"},
        {"4000", "", "You have not inputed end address yet!"},
        {"", "zz", "You have not inputed start address yet!"},
        {"4000", "40 0", "Input format error!"},
        {"3FFF", "4000", "Input address is out of memory map!"},
        {"4000", "14000", "Input address is out of memory map!"},
    };
    for (const Case& c : cases) {
        ScriptedPrompts s;
        AddressRangeEntry logic(s.prompts, MemoryMap{0, 0, 0x4000, 0x14000}, "");
        AddressRangeDialog dialog(logic);
        dialog.show();
        QTest::keyClicks(dialog.StartField(), c.start);
        QTest::keyClicks(dialog.EndField(), c.end);
        QTest::mouseClick(dialog.OkButton(), Qt::LeftButton);
        QVERIFY2(dialog.isVisible(), c.message);
        QCOMPARE(s.messages.size(), std::size_t(1));
        QCOMPARE(s.messages[0], Message({c.message, "ERROR", MsgIcon::Error, MsgButtons::Ok,
                                         Owner::AddressSetting}));
        // The texts stay as typed (upper case) after a refusal.
        QCOMPARE(dialog.StartField()->text(), QString(c.start).toUpper());
    }
}

void DialogsTest::baseDialogStartsAtTheProgramRomAndTakesOnlyTheMap() {
    ScriptedPrompts s;
    BaseAddressEntry logic(s.prompts, MemoryMap{0, 0, 0x4000, 0x14000});
    BaseAddressDialog dialog(logic);
    dialog.show();
    QCOMPARE(dialog.AddressField()->text(), QString("04000"));
    QCOMPARE(dialog.AddressField()->maxLength(), 5);
    dialog.AddressField()->clear();
    QTest::keyClicks(dialog.AddressField(), "3fff");
    QTest::mouseClick(dialog.OkButton(), Qt::LeftButton);
    QVERIFY(dialog.isVisible());
    QCOMPARE(s.messages.size(), std::size_t(1));
    QCOMPARE(s.messages[0].text, std::string("Input address is out of memory map!"));
    dialog.AddressField()->clear();
    QTest::keyClicks(dialog.AddressField(), "c000");
    QTest::keyClick(dialog.AddressField(), Qt::Key_Return);  // Enter presses OK
    QVERIFY(!dialog.isVisible());
    QCOMPARE(dialog.result(), IdNumber(DialogResult::Ok));
    QCOMPARE(logic.Base(), 0xC000u);
}

void DialogsTest::eraseDialogListsBlocksAndSelectsAll() {
    ScriptedPrompts s;
    g_cataloguePath = BinPath("MCUType.mcu");
    g_selectedMcu = "R5F212B8SN";
    EraseBlockChoice logic(s.prompts);
    QVERIFY(logic.Fill(g_cataloguePath, g_selectedMcu));
    EraseBlocksDialog dialog(logic);
    dialog.show();

    QTreeWidget* list = dialog.BlockList();
    QCOMPARE(list->objectName(), QString("1011"));
    QCOMPARE(list->headerItem()->text(0), QString("    Block"));
    QCOMPARE(list->headerItem()->text(1), QString("Size"));
    QCOMPARE(list->headerItem()->text(2), QString("Start Address"));
    // The template's widths, or what the check box and the texts need in this font.
    QVERIFY(list->header()->sectionSize(0) >= 70);
    QVERIFY(list->header()->sectionSize(1) >= 38);
    QVERIFY(list->header()->sectionSize(2) >= 85);
    QCOMPARE(list->topLevelItemCount(), 6);
    const char* rows[][3] = {{"Block A", "  1K", "  0x02400"}, {"Block B", "  1K", "  0x02800"},
                             {"Block 2", " 16K", "  0x04000"}, {"Block 1", " 16K", "  0x08000"},
                             {"Block 0", " 16K", "  0x0C000"}, {"Block 3", " 16K", "  0x10000"}};
    for (int r = 0; r < 6; ++r) {
        for (int c = 0; c < 3; ++c) {
            QCOMPARE(list->topLevelItem(r)->text(c), QString(rows[r][c]));
        }
        QCOMPARE(list->topLevelItem(r)->checkState(0), Qt::Unchecked);
    }

    // Nothing checked: the warning, and the dialog stays.
    QTest::mouseClick(dialog.OkButton(), Qt::LeftButton);
    QVERIFY(dialog.isVisible());
    QCOMPARE(s.messages.back(),
             Message({"You haven't selected erase block.", "WARNING", MsgIcon::Exclamation,
                      MsgButtons::Ok, Owner::EraseSetting}));

    QTest::mouseClick(dialog.SelectAllBox(), Qt::LeftButton);
    for (int r = 0; r < 6; ++r)
        QCOMPARE(list->topLevelItem(r)->checkState(0), Qt::Checked);
    // A double click on a row toggles its check.
    const QRect row1 = list->visualItemRect(list->topLevelItem(1));
    DoubleClickAt(list->viewport(), row1.center());
    QCOMPARE(list->topLevelItem(1)->checkState(0), Qt::Unchecked);
    QVERIFY(!logic.Checked(1));

    QTest::mouseClick(dialog.OkButton(), Qt::LeftButton);
    QVERIFY(!dialog.isVisible());
    QCOMPARE(dialog.result(), IdNumber(DialogResult::Ok));
    QCOMPARE(logic.EraseList(), std::string("00240040008000C00100"));
    QCOMPARE(logic.BlockCount(), 5);

    // Unchecking select-all unchecks every row.
    QTest::mouseClick(dialog.SelectAllBox(), Qt::LeftButton);
    for (int r = 0; r < 6; ++r)
        QCOMPARE(list->topLevelItem(r)->checkState(0), Qt::Unchecked);
}

namespace {

// Runs `act` on the first modal window to come up, from inside its loop.
template <typename Window>
void WhenModal(std::function<void(Window*)> act) {
    auto* poll = new QTimer;
    poll->setInterval(5);
    QObject::connect(poll, &QTimer::timeout, [poll, act, tries = 0]() mutable {
        if (auto* window = qobject_cast<Window*>(QApplication::activeModalWidget())) {
            poll->stop();
            poll->deleteLater();
            act(window);
        } else if (++tries > 2000) {
            poll->stop();
            poll->deleteLater();
        }
    });
    poll->start();
}

}  // namespace

void DialogsTest::realMessageBoxesCarryTextCaptionIconAndButtons_data() {
    QTest::addColumn<int>("icon");
    QTest::addColumn<bool>("yesNo");
    QTest::addColumn<int>("press");  // the button pressed, or 0 for Escape
    QTest::addColumn<int>("expectedIcon");
    QTest::addColumn<int>("answer");
    QTest::newRow("error") << int(MsgIcon::Error) << false << int(QMessageBox::Ok)
                           << int(QMessageBox::Critical) << int(MsgAnswer::Ok);
    QTest::newRow("exclamation") << int(MsgIcon::Exclamation) << false << int(QMessageBox::Ok)
                                 << int(QMessageBox::Warning) << int(MsgAnswer::Ok);
    QTest::newRow("no icon") << int(MsgIcon::None) << false << int(QMessageBox::Ok)
                             << int(QMessageBox::NoIcon) << int(MsgAnswer::Ok);
    QTest::newRow("question, yes") << int(MsgIcon::Question) << true << int(QMessageBox::Yes)
                                   << int(QMessageBox::Question) << int(MsgAnswer::Yes);
    QTest::newRow("question, no") << int(MsgIcon::Question) << true << int(QMessageBox::No)
                                  << int(QMessageBox::Question) << int(MsgAnswer::No);
    QTest::newRow("question, escape")
        << int(MsgIcon::Question) << true << 0 << int(QMessageBox::Question) << int(MsgAnswer::No);
}

void DialogsTest::realMessageBoxesCarryTextCaptionIconAndButtons() {
    QFETCH(int, icon);
    QFETCH(bool, yesNo);
    QFETCH(int, press);
    QFETCH(int, expectedIcon);
    QFETCH(int, answer);

    QtPrompts prompts;
    QWidget mainWindow;
    mainWindow.show();
    QWidget readWindow;
    readWindow.show();
    prompts.Attach(&mainWindow, nullptr);
    prompts.SetOwnerWindow(Owner::ReadData, &readWindow);

    const Message message{"Operating is canceled.\n 7% is finished.", "INFO",
                          static_cast<MsgIcon>(icon), yesNo ? MsgButtons::YesNo : MsgButtons::Ok,
                          Owner::ReadData};
    bool seen = false;
    WhenModal<QMessageBox>([&](QMessageBox* box) {
        seen = true;
        QCOMPARE(box->windowTitle(), QString("INFO"));
        QCOMPARE(box->text(), QString("Operating is canceled.\n 7% is finished."));
        QCOMPARE(box->textFormat(), Qt::PlainText);
        QCOMPARE(int(box->icon()), expectedIcon);
        QCOMPARE(box->parentWidget(), &readWindow);
        const auto buttons = yesNo ? (QMessageBox::Yes | QMessageBox::No) : QMessageBox::Ok;
        QCOMPARE(box->standardButtons(), buttons);
        if (press == 0) {
            QTest::keyClick(box, Qt::Key_Escape);
        } else {
            box->button(static_cast<QMessageBox::StandardButton>(press))->click();
        }
    });
    QCOMPARE(int(prompts.ShowMessage(message)), answer);
    QVERIFY(seen);
}

void DialogsTest::realFileDialogsCarryTitleAndFilter() {
    QtPrompts prompts;
    QWidget mainWindow;
    mainWindow.show();
    prompts.Attach(&mainWindow, nullptr);
    const FileDialogSpec open{"Select open file", "Motorola Format(*.mot)", "*.mot", ""};
    const FileDialogSpec save{"Save file", "Motorola Format(*.mot)", "*.mot", ".mot"};

    WhenModal<QFileDialog>([&](QFileDialog* dialog) {
        QCOMPARE(dialog->windowTitle(), QString("Select open file"));
        QCOMPARE(dialog->nameFilters(), QStringList{"Motorola Format(*.mot) (*.mot)"});
        QCOMPARE(dialog->acceptMode(), QFileDialog::AcceptOpen);
        QCOMPARE(dialog->defaultSuffix(), QString());
        QCOMPARE(dialog->parentWidget(), &mainWindow);
        dialog->reject();
    });
    QVERIFY(!prompts.ChooseOpenFile(Owner::MainWindow, open));

    ScratchDir dir;
    const QString target = QString::fromStdString(dir.File("dump"));
    WhenModal<QFileDialog>([&](QFileDialog* dialog) {
        QCOMPARE(dialog->windowTitle(), QString("Save file"));
        QCOMPARE(dialog->acceptMode(), QFileDialog::AcceptSave);
        QCOMPARE(dialog->defaultSuffix(), QString("mot"));
        // The save handler asks its own overwrite question.
        QVERIFY(dialog->testOption(QFileDialog::DontConfirmOverwrite));
        dialog->selectFile(target);
        static_cast<QDialog*>(dialog)->accept();
    });
    const auto chosen = prompts.ChooseSaveFile(Owner::ReadData, save);
    QVERIFY(chosen);
    QCOMPARE(QString::fromStdString(*chosen), target + ".mot");
}

void DialogsTest::everyIconAndThePictureLoad() {
    for (int id : {128, 155, 156, 157, 158, 159, 160, 161, 162, 163, 164, 165}) {
        const QIcon icon = IconById(id);
        QVERIFY2(!icon.isNull(), qPrintable(QString::number(id)));
        // Drawn, not blank, at the button size and at twice it.
        for (int size : {32, 64}) {
            const QImage image = icon.pixmap(size, size).toImage();
            QCOMPARE(image.width(), size);
            int opaque = 0;
            for (int y = 0; y < size; ++y) {
                for (int x = 0; x < size; ++x)
                    opaque += qAlpha(image.pixel(x, y)) > 128;
            }
            QVERIFY2(opaque > size * size / 8, qPrintable(QString("%1 at %2").arg(id).arg(size)));
        }
    }
    for (int id : {0, 127, 154, 166, 179})
        QVERIFY(IconById(id).isNull());

    QtPicture picture(PictureResource(IdNumber(IDB_BACKGROUND)));
    QVERIFY(picture.HasPicture());
    picture.resize(500, 300);
    QCOMPARE(picture.PictureRect(), QRectF(69, 48.5, 362, 203));  // centred, natural size
    picture.resize(181, 203);
    QCOMPARE(picture.PictureRect().size(), QSizeF(181, 101.5));  // scaled down to fit
    QVERIFY(PictureResource(178).isEmpty());
}

QTEST_MAIN(DialogsTest)
#include "dialogs_test.moc"
