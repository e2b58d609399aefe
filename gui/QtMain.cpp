// The desktop program's entry: the application object runs the main window.

#include <QCoreApplication>
#include <QGuiApplication>

#include "gui/CProgrammerApp.h"

int main(int argc, char** argv) {
    if (o8r::CProgrammerApp::WantsTextOnly(argc, argv)) {
        QCoreApplication core(argc, argv);
        QCoreApplication::setApplicationName(QStringLiteral("o8r-programmer"));
        return o8r::CProgrammerApp::RunTextOnly();
    }
    // Fractional screen scales (125 %, 150 %) are honoured as they are, so the
    // window opens at a readable size on high-density screens.
    QGuiApplication::setHighDpiScaleFactorRoundingPolicy(
        Qt::HighDpiScaleFactorRoundingPolicy::PassThrough);
    o8r::CProgrammerApp app(argc, argv);
    return app.Run();
}
