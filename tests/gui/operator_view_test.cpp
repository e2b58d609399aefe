// The operator view opened from the main window on simulated boxes: a pass
// and a fail with their banners, the counters, serial numbers stepping, four
// boxes at once, and a view that no stray key leaves.

#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>

#include "GuiHarness.h"
#include "OperatorRig.h"

using namespace o8r;
using namespace o8r::test;

class OperatorViewTest : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void onePassThenOneFailOnTheWindowsOwnBox();
    void fourBoxesAtOnce();
    void onlyTheMenuLeaves();
};

void OperatorViewTest::onePassThenOneFailOnTheWindowsOwnBox() {
    GuiHarness h;
    h.Open();
    QVERIFY(h.PlugBox());
    OperatorRig rig(h);
    QVERIFY(rig.Run([&](OperatorWindow& view) {
        QVERIFY(!h.Window().isVisible());
        QCOMPARE(view.NextSerial()->text(), QString("Next serial 1000"));
        QVERIFY(OperatorRig::StartAndFinish(view));
        QCOMPARE(view.Banner(0)->text(), QString("PASS"));
        QCOMPARE(view.TileProgress(0)->value(), 100);
        QCOMPARE(view.NextSerial()->text(), QString("Next serial 1001"));
        // The image file changes behind the job's back: the next board fails
        // before the box is touched.
        rig.dir.Write("app.mot", "S00600004844521B\nS9030000FC\n");
        QTest::keyClick(&view, Qt::Key_Space);
        QVERIFY(GuiHarness::WaitFor([&] { return !view.Controller().Running(); }));
        QCOMPARE(view.Banner(0)->text(), QString("FAIL"));
        QVERIFY(view.Reason(0)->text().remove(QChar(0x200B)).contains("app.mot"));
        QCOMPARE(view.Counters()->text(), QString("Passed 1     Failed 1     This session 2"));
        const QStringList log = view.Log()->toPlainText().split('\n');
        QCOMPARE(log.size(), 2);
        QVERIFY(log[0].contains("#1000  PASS"));
        QVERIFY(log[1].contains("#1001  FAIL"));
    }));
    // Back in the main window, which finds its box again.
    QVERIFY(h.Window().isVisible());
    QVERIFY(GuiHarness::WaitFor([&] { return h.Shown(IDC_PROGRAM); }));
}

void OperatorViewTest::fourBoxesAtOnce() {
    GuiHarness h;
    h.Open();
    OperatorRig rig(h, "sim:4", {2});
    QVERIFY(rig.Run([&](OperatorWindow& view) {
        QCOMPARE(view.Controller().Tiles().size(), std::size_t(4));
        QTest::keyClick(&view, Qt::Key_Return);
        // All four work at once.
        QVERIFY(GuiHarness::WaitFor([&] {
            for (std::size_t i = 0; i < 4; ++i) {
                if (view.TileProgress(i)->value() == 0)
                    return false;
            }
            return true;
        }));
        QVERIFY(GuiHarness::WaitFor([&] { return !view.Controller().Running(); }));
        for (std::size_t i = 0; i < 4; ++i)
            QCOMPARE(view.Banner(i)->text(), QString(i == 2 ? "FAIL" : "PASS"));
        QCOMPARE(view.Counters()->text(), QString("Passed 3     Failed 1     This session 4"));
        QCOMPARE(view.NextSerial()->text(), QString("Next serial 1004"));
    }));
    QCOMPARE(rig.madeBoxes.size(), std::size_t(4));
}

void OperatorViewTest::onlyTheMenuLeaves() {
    GuiHarness h;
    h.Open();
    QVERIFY(h.PlugBox());
    OperatorRig rig(h);
    QVERIFY(rig.Run([&](OperatorWindow& view) {
        QTest::keyClick(&view, Qt::Key_Escape);
        view.close();
        QVERIFY(view.isVisible());
        QTest::keyClick(&view, Qt::Key_F5);
        QVERIFY(view.Controller().Running());
        // Not while a board is under way.
        QVERIFY(!view.LeaveAction()->isEnabled());
        QVERIFY(!view.StartButton()->isEnabled());
        QVERIFY(GuiHarness::WaitFor([&] { return !view.Controller().Running(); }));
        QVERIFY(view.LeaveAction()->isEnabled());
        OperatorRig::Leave(view);
        QVERIFY(!view.isVisible());
    }));
}

QTEST_MAIN(OperatorViewTest)
#include "operator_view_test.moc"
