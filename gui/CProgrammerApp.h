#pragma once

// The application object: reads the command line, attaches the programmer
// (every real box found, one serial port, or the simulated box) and runs the
// main window until it is closed.

#include <QApplication>
#include <QStringList>
#include <memory>
#include <optional>
#include <string>

#include "bridges/BridgeFactory.h"
#include "core/protocol/Clock.h"
#include "gui/QtPrompts.h"

namespace o8r {

class CProgrammerDlg;

class CProgrammerApp : public QApplication {
    Q_OBJECT

  public:
    CProgrammerApp(int& argc, char** argv);
    ~CProgrammerApp() override;

    // Runs the program; the process's exit code.
    int Run();

    struct Arguments {
        BoxChoice box;
        bool helpRequested = false;
        bool versionRequested = false;
        std::string catalogue;  // --catalogue; empty: look in the usual places
        std::string job;        // --job: opened in the operator view
    };
    // The command line (the program's name first) as a box choice; nullopt
    // with an error text for an unknown option or a bad value.
    static std::optional<Arguments> ParseArguments(const QStringList& arguments, QString& error);
    static QString HelpText();

    // --help and --version need no window and no display: true when the
    // command line asks for one of them, which RunTextOnly() then answers
    // under a QCoreApplication.
    static bool WantsTextOnly(int argc, char** argv);
    static int RunTextOnly();

  private:
    void ReportStartFailure(const QString& text);
    // Writes the simulated box's state back; false after saying why not.
    bool SaveState();
    // SIGTERM or SIGINT: the window closed, the state saved, the process ended.
    void EndOnSignal(int signalNumber);

    RealClock m_clock;
    std::unique_ptr<Bridge> m_bridge;
    QtPrompts m_prompts;
    std::unique_ptr<CProgrammerDlg> m_window;
};

}  // namespace o8r
