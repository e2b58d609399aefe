// The program's command line: which box it attaches, every refusal of a bad
// option, and the built program answering --help, --version and a bad option
// without needing a display.

#include <QDir>
#include <QProcess>
#include <QTest>

#include "gui/CProgrammerApp.h"
#include "support/TestData.h"

using namespace o8r;
using namespace o8r::test;

class AppTest : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void boxChoices();
    void refusals_data();
    void refusals();
    void textOnlyRequests();
    void theBuiltProgramAnswersWithoutADisplay_data();
    void theBuiltProgramAnswersWithoutADisplay();
};

namespace {

std::optional<CProgrammerApp::Arguments> Parse(const QStringList& options, QString& error) {
    return CProgrammerApp::ParseArguments(QStringList{"o8r-programmer"} + options, error);
}

}  // namespace

void AppTest::boxChoices() {
    QString error;

    auto automatic = Parse({}, error);
    QVERIFY(automatic);
    QCOMPARE(automatic->box.kind, BoxChoice::Kind::Auto);
    QVERIFY(!automatic->helpRequested);

    auto port = Parse({"--port", "/dev/ttyUSB3"}, error);
    QVERIFY(port);
    QCOMPARE(port->box.kind, BoxChoice::Kind::Serial);
    QCOMPARE(port->box.port, std::string("/dev/ttyUSB3"));

    auto plain = Parse({"--simulate"}, error);
    QVERIFY(plain);
    QCOMPARE(plain->box.kind, BoxChoice::Kind::Sim);
    QVERIFY(!plain->box.sim.updateMode);
    QVERIFY(!plain->box.sim.faults.protectedCode);
    QVERIFY(plain->box.simStatePath.empty());
    QVERIFY(plain->catalogue.empty());

    auto catalogue = Parse({"--catalogue", "/tmp/parts.mcu", "--simulate"}, error);
    QVERIFY(catalogue);
    QCOMPARE(catalogue->catalogue, std::string("/tmp/parts.mcu"));
    auto job = Parse({"--job", "/tmp/line.toml", "--simulate"}, error);
    QVERIFY(job);
    QCOMPARE(job->job, QDir::toNativeSeparators("/tmp/line.toml").toStdString());

    auto full = Parse({"--simulate", "--sim-update-mode", "--sim-protect", "0011223344556f",
                       "--sim-fault", "cts-stuck", "--sim-fault", "wrong-answer:3", "--sim-state",
                       "/tmp/box.state", "--sim-timing", "slow"},
                      error);
    QVERIFY2(full, qPrintable(error));
    QVERIFY(full->box.sim.updateMode);
    QVERIFY(full->box.sim.faults.protectedCode);
    QCOMPARE(*full->box.sim.faults.protectedCode,
             (std::array<std::uint8_t, 7>{0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x6F}));
    QVERIFY(full->box.sim.faults.ctsStuckHigh);
    QCOMPARE(full->box.sim.faults.wrongAnswerAtPage, 3u);
    // Handed to the core with the platform's own separators.
    QCOMPARE(full->box.simStatePath,
             QDir::toNativeSeparators(QStringLiteral("/tmp/box.state")).toStdString());
    QCOMPARE(full->box.sim.timings.pageProgramNs, TimingsFor(SimTimingProfile::Slow).pageProgramNs);
    QCOMPARE(plain->box.sim.timings.pageProgramNs, SimTimings{}.pageProgramNs);
}

void AppTest::refusals_data() {
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("message");
    QTest::newRow("unknown option") << QStringList{"--frobnicate"} << "frobnicate";
    QTest::newRow("stray argument") << QStringList{"image.mot"} << "Unexpected argument: image.mot";
    QTest::newRow("port and simulate")
        << QStringList{"--simulate", "--port", "/dev/ttyUSB0"} << "cannot be used together";
    QTest::newRow("port without a name") << QStringList{"--port", ""} << "--port needs";
    QTest::newRow("catalogue without a name")
        << QStringList{"--catalogue", ""} << "--catalogue needs the name of a file.";
    QTest::newRow("job without a name")
        << QStringList{"--job", ""} << "--job needs the name of a job file.";
    QTest::newRow("sim switch without simulate")
        << QStringList{"--sim-fault", "cts-stuck"} << "--sim-fault needs --simulate.";
    QTest::newRow("state without simulate")
        << QStringList{"--sim-state", "x"} << "--sim-state needs --simulate.";
    QTest::newRow("short ID code")
        << QStringList{"--simulate", "--sim-protect", "00112233"} << "14 hexadecimal digits";
    QTest::newRow("ID code not hexadecimal")
        << QStringList{"--simulate", "--sim-protect", "0011223344556G"} << "14 hexadecimal digits";
    QTest::newRow("unknown fault")
        << QStringList{"--simulate", "--sim-fault", "gremlins"} << "--sim-fault gremlins: ";
    QTest::newRow("option value missing")
        << QStringList{"--simulate", "--sim-state"} << "sim-state";
    QTest::newRow("timing without simulate")
        << QStringList{"--sim-timing", "slow"} << "--sim-timing needs --simulate.";
    QTest::newRow("unknown timing")
        << QStringList{"--simulate", "--sim-timing", "glacial"} << "fast, typical or slow";
}

void AppTest::refusals() {
    QFETCH(QStringList, options);
    QFETCH(QString, message);
    QString error;
    QVERIFY(!Parse(options, error));
    QVERIFY2(error.contains(message), qPrintable(error));
}

void AppTest::textOnlyRequests() {
    struct Case {
        std::vector<const char*> argv;
        bool textOnly;
    };
    const Case cases[] = {
        {{"o8r-programmer"}, false},
        {{"o8r-programmer", "--simulate"}, false},
        {{"o8r-programmer", "--help"}, true},
        {{"o8r-programmer", "-h"}, true},
        {{"o8r-programmer", "--simulate", "--version"}, true},
        {{"o8r-programmer", "--help-all"}, true},
    };
    for (const Case& c : cases) {
        std::vector<char*> argv;
        for (const char* a : c.argv)
            argv.push_back(const_cast<char*>(a));
        QCOMPARE(CProgrammerApp::WantsTextOnly(static_cast<int>(argv.size()), argv.data()),
                 c.textOnly);
    }
    const QString help = CProgrammerApp::HelpText();
    for (const char* word :
         {"--simulate", "--port", "--sim-fault", "--sim-protect", "--sim-update-mode",
          "--sim-state", "--catalogue", "--job", "cts-stuck"}) {
        QVERIFY2(help.contains(word), word);
    }
}

void AppTest::theBuiltProgramAnswersWithoutADisplay_data() {
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("out");
    QTest::addColumn<QString>("err");
    QTest::newRow("help") << QStringList{"--help"} << 0 << "--simulate"
                          << "";
    QTest::newRow("version") << QStringList{"--version"} << 0 << "o8r-programmer "
                             << "";
    QTest::newRow("bad option") << QStringList{"--sim-fault", "x"} << 2 << ""
                                << "--sim-fault needs --simulate.";
    QTest::newRow("unreadable state")
        // Not a state file; its lock file goes beside it, in the build tree.
        << QStringList{"--simulate", "--sim-state", QCoreApplication::applicationFilePath()} << 1
        << ""
        << "o8r-programmer: ";
}

void AppTest::theBuiltProgramAnswersWithoutADisplay() {
    QFETCH(QStringList, options);
    QFETCH(int, exitCode);
    QFETCH(QString, out);
    QFETCH(QString, err);
    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("DISPLAY");
    env.remove("WAYLAND_DISPLAY");
    // Text answers need no display; a start failure is reported on stderr.
    env.insert("QT_QPA_PLATFORM", "offscreen");
    program.setProcessEnvironment(env);
    program.start(QString::fromStdString(BinPath("o8r-programmer")), options);
    QVERIFY(program.waitForFinished(60000));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), exitCode);
    const QString stdOut = QString::fromLocal8Bit(program.readAllStandardOutput());
    const QString stdErr = QString::fromLocal8Bit(program.readAllStandardError());
    QVERIFY2(stdOut.contains(out), qPrintable(stdOut));
    QVERIFY2(stdErr.contains(err), qPrintable(stdErr));
}

QTEST_MAIN(AppTest)
#include "app_test.moc"
