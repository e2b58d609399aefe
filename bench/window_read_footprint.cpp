// The desktop program's peak resident memory after a 512-page read: its
// window, range dialog and read window, driven as a person would, against the
// simulated box on virtual time. Prints "peak_rss_kb N" once the read window
// shows all 512 pages; exit 1 when the read did not complete.
//
// Not a Google Benchmark program: script/bench runs it and reads the line.

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeView>

#include <sys/resource.h>

#include <cstdio>

#include "GuiHarness.h"
#include "gui/dialogs/AddressRangeDialog.h"
#include "gui/dialogs/ReadDataWindow.h"

using namespace o8r;
using namespace o8r::test;

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    GuiHarness h;
    h.Open();
    // R5F212ACSN: 128 KB of program ROM from 0x4000, 512 pages.
    if (!h.PlugBox() || !h.SelectPart("R8C/2A", "R5F212ACSN")) {
        std::fprintf(stderr, "window_read_footprint: the window did not take the part\n");
        return 1;
    }
    bool read = false;
    long peakKb = 0;
    h.onDialog = [&](QDialog& dialog) {
        if (auto* range = qobject_cast<AddressRangeDialog*>(&dialog)) {
            QTest::keyClicks(range->StartField(), "4000");
            QTest::keyClicks(range->EndField(), "23fff");
            QTest::mouseClick(range->OkButton(), Qt::LeftButton);
            return;
        }
        if (auto* window = qobject_cast<ReadDataWindow*>(&dialog)) {
            read = GuiHarness::WaitFor([&] { return window->StatusText()->isVisible(); }, 120000) &&
                   window->StatusText()->text() == "Read completed." &&
                   window->Dump()->model()->rowCount() == 512 * 16;
            // Measured with the data still held; then the window may go.
            rusage usage{};
            getrusage(RUSAGE_SELF, &usage);
            peakKb = usage.ru_maxrss;
            h.answers = {MsgAnswer::Yes};
            dialog.close();
        }
    };
    h.Click(IDC_READ);
    if (!read) {
        std::fprintf(stderr, "window_read_footprint: the 512-page read did not complete\n");
        return 1;
    }
    std::printf("peak_rss_kb %ld\n", peakKb);
    return 0;
}
