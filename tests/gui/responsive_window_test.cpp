// The main window while a handler holds its thread (the firmware update runs
// inside its click): it keeps painting, takes no input and runs no timer
// handler; and where the first message of its start appears.

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include "GuiHarness.h"
#include "core/model/Ids.h"
#include "gui/QtBusyClock.h"
#include "gui/QtWindowTimers.h"
#include "support/ScratchDir.h"
#include "support/TestData.h"

using namespace o8r;
using namespace o8r::test;

namespace {

// Counts the paint events of one widget.
class PaintCounter : public QObject {
  public:
    explicit PaintCounter(QWidget& widget) { widget.installEventFilter(this); }
    int count = 0;

  protected:
    bool eventFilter(QObject*, QEvent* event) override {
        count += event->type() == QEvent::Paint ? 1 : 0;
        return false;
    }
};

}  // namespace

class ResponsiveWindowTest : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void firmwareUpdatePaintsButTakesNoInput();
    void aBusyHandlerPaintsOnlyOncePerInterval();
    void theStartMessageIsCentredOverTheWindow();
};

void ResponsiveWindowTest::firmwareUpdatePaintsButTakesNoInput() {
    SimOptions options = GuiHarness::Unplugged();
    options.updateMode = true;
    GuiHarness h(options);
    CProgrammerDlg& w = h.Open();
    QVERIFY(h.PlugBox());
    h.chosenFiles.push_back(SourcePath("data/firmware-sample.mot"));

    // Whatever the event loop would deliver, looked at while the exchange runs.
    PaintCounter paints(w);
    int probes = 0;
    int paintsBefore = -1;
    bool closed = true;
    bool timersHeld = true;
    QTimer probe;
    probe.setInterval(0);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        const bool erasing =
            h.Shown(IDC_STATUS) && h.Text(IDC_STATUS) == "Please wait for erasing...";
        if (!erasing && !h.Shown(IDC_PROGRESS))
            return;
        timersHeld = timersHeld && w.Timers().Held();
        if (probes++ == 0) {
            paintsBefore = paints.count;
            // A person clicks Update again, presses Escape and the close box.
            QTest::mouseClick(w.Button(IDC_LOAD), Qt::LeftButton);
            QTest::keyClick(&w, Qt::Key_Escape);
            closed = w.close();
        }
        // As the desktop asks after a window above it has gone.
        w.update();
    });
    probe.start();
    h.Click(IDC_LOAD);
    probe.stop();

    QVERIFY2(probes > 10, qPrintable(QString::number(probes)));
    QVERIFY(paints.count > paintsBefore + 5);
    QVERIFY(timersHeld);
    QVERIFY(!closed);
    QVERIFY(w.isVisible());
    QVERIFY(!w.Timers().Held());
    // One update, to its end; the box was never polled or closed meanwhile.
    QCOMPARE(h.Texts(), (std::vector<std::string>{"Update completed. Please reset Programmer."}));
    QCOMPARE(h.fileDialogs.size(), std::size_t(1));
    const std::vector<std::string> lines = h.TraceLines();
    // From the synchronisation on; the loading dialog before it runs its own loop.
    auto start = std::find(lines.begin(), lines.end(), "write 1 00 -> 1");
    QVERIFY(start != lines.end());
    for (auto it = start; it != lines.end(); ++it) {
        QVERIFY2(it->rfind("count", 0) != 0 && it->rfind("close", 0) != 0, it->c_str());
    }
    QVERIFY(h.box.IsOpen());
    // Afterwards the window takes input and polls again.
    QVERIFY(h.RunFor(1'000'000'000));
    QVERIFY(h.TraceLines().back().rfind("count", 0) == 0);
}

void ResponsiveWindowTest::aBusyHandlerPaintsOnlyOncePerInterval() {
    GuiHarness h;
    CProgrammerDlg& w = h.Open();
    QtBusyClock& clock = w.BusyClock();
    int fired = 0;
    QTimer probe;
    probe.setInterval(0);
    QObject::connect(&probe, &QTimer::timeout, [&] { ++fired; });
    probe.start();

    // Not busy: a pause is only a pause.
    clock.SleepFor(QtBusyClock::kRepaintEveryNs * 3);
    QCOMPARE(fired, 0);
    int beforeEnd = 0;
    {
        const QtBusyClock::Busy busy(clock);
        QVERIFY(clock.IsBusy());
        struct Step {
            std::uint64_t ns;
            bool handled;
        };
        // Paused time adds up to the interval, in small pauses or one long one.
        const Step steps[] = {{QtBusyClock::kRepaintEveryNs / 2, false},
                              {QtBusyClock::kRepaintEveryNs / 2, true},
                              {1'000, false},
                              {QtBusyClock::kRepaintEveryNs * 5, true}};
        for (const Step& step : steps) {
            const int before = fired;
            clock.SleepFor(step.ns);
            QCOMPARE(fired > before, step.handled);
        }
        {
            // Nested handlers end with the outer one.
            const QtBusyClock::Busy inner(clock);
        }
        const int before = fired;
        clock.SleepFor(1'000);
        QCOMPARE(fired, before);
        beforeEnd = fired;
    }
    // The end of the busy time handles what came in meanwhile once more.
    QVERIFY(fired > beforeEnd);
    QVERIFY(!clock.IsBusy());
    QVERIFY(!w.Timers().Held());
}

void ResponsiveWindowTest::theStartMessageIsCentredOverTheWindow() {
    ScratchDir empty;  // no MCUType.mcu
    VirtualClock clock;
    SimulatedBox box(clock, GuiHarness::Unplugged());
    QtPrompts prompts;
    CProgrammerDlg w(box, clock, prompts, empty.Path().string());

    QRect boxPlace;
    QString boxText;
    QTimer watch;
    watch.setInterval(5);
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (auto* message = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            boxPlace = message->frameGeometry();
            boxText = message->text();
            message->accept();
        }
    });
    watch.start();
    w.InitDialog();
    watch.stop();
    QCOMPARE(boxText, QString("Can not find MCU file!"));

    w.show();
    const QPoint screenCentre = w.screen()->availableGeometry().center();
    const QPoint windowCentre = w.frameGeometry().center();
    // Dialogs sit a little above the centre to leave room for a caption bar.
    QVERIFY2((windowCentre - screenCentre).manhattanLength() < 60,
             qPrintable(QString("%1,%2").arg(windowCentre.x()).arg(windowCentre.y())));
    QVERIFY2((boxPlace.center() - windowCentre).manhattanLength() < 60,
             qPrintable(QString("%1,%2").arg(boxPlace.center().x()).arg(boxPlace.center().y())));
}

QTEST_MAIN(ResponsiveWindowTest)
#include "responsive_window_test.moc"
