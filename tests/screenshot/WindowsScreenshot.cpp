// The main window as Windows draws it, for docs/main-window-windows.png
// (script/windows-screenshot runs it under Wine and Xvfb): the window is
// shown on the real window system (not offscreen), a box plugged in, and
// its client area taken from the screen.
//
//   window_screenshot.exe FILE.png

#include <QApplication>
#include <QScreen>
#include <QTest>
#include <QWindow>

#include <cstdio>

#include "GuiHarness.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: window_screenshot FILE.png\n");
        return 2;
    }
    o8r::test::GuiHarness harness;
    QWidget& window = harness.Open();
    window.show();
    if (!QTest::qWaitForWindowExposed(&window, 10000)) {
        std::fprintf(stderr, "window_screenshot: the window was never shown\n");
        return 1;
    }
    // The poll finds the box, and the window repaints.
    QTest::qWait(1500);
    const QPixmap picture = window.screen()->grabWindow(window.winId());
    if (picture.isNull() || !picture.save(QString::fromLocal8Bit(argv[1]))) {
        std::fprintf(stderr, "window_screenshot: could not save %s\n", argv[1]);
        return 1;
    }
    return 0;
}
