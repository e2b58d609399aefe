#include "gui/CProgrammerApp.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QTimer>
#include <cstdio>
#include <cstdlib>

#include "core/catalogue/CatalogueLocation.h"
#include "core/model/HexText.h"
#include "core/model/Ids.h"
#include "core/window/SharedState.h"
#include "gui/CProgrammerDlg.h"
#include "gui/QtFirstPaint.h"
#include "gui/QtResources.h"
#include "gui/QtTermination.h"
#include "o8r/BuildInfo.h"
#include "sim/SimFaults.h"

namespace o8r {

namespace {

struct Options {
    QCommandLineOption simulate{QStringLiteral("simulate"),
                                QStringLiteral("Attach the simulated box instead of a real one.")};
    QCommandLineOption port{QStringLiteral("port"),
                            QStringLiteral("Reach the box through this serial port only."),
                            QStringLiteral("NAME")};
    QCommandLineOption simProtect{
        QStringLiteral("sim-protect"),
        QStringLiteral("Simulated target locked with this ID code (14 hexadecimal digits)."),
        QStringLiteral("HEX")};
    QCommandLineOption simUpdateMode{
        QStringLiteral("sim-update-mode"),
        QStringLiteral("The simulated box starts in its firmware-update mode.")};
    QCommandLineOption simFault{
        QStringLiteral("sim-fault"),
        QStringLiteral("A fault of the simulated box (may be given several times; listed above)."),
        QStringLiteral("SPEC")};
    QCommandLineOption simState{
        QStringLiteral("sim-state"),
        QStringLiteral("Keep the simulated box (target, store, loader) in this file between runs."),
        QStringLiteral("FILE")};
    QCommandLineOption catalogue{
        QStringLiteral("catalogue"),
        QStringLiteral("Read the MCU catalogue from this file (default: MCUType.mcu beside the "
                       "program, in ../share/o8r-programmer/ from it, or in the install's data "
                       "folder)."),
        QStringLiteral("FILE")};
    QCommandLineOption simTiming{
        QStringLiteral("sim-timing"),
        QStringLiteral("How long the simulated box takes: typical (the default), slow (just inside "
                       "what the program allows) or fast."),
        QStringLiteral("PROFILE")};

    QCommandLineOption job{
        QStringLiteral("job"),
        QStringLiteral("Open this production job in the operator view at start-up."),
        QStringLiteral("FILE")};

    void AddTo(QCommandLineParser& parser) const {
        parser.addOption(job);
        parser.addOption(simulate);
        parser.addOption(port);
        parser.addOption(simProtect);
        parser.addOption(simUpdateMode);
        parser.addOption(simFault);
        parser.addOption(simState);
        parser.addOption(catalogue);
        parser.addOption(simTiming);
    }
};

QString Description() {
    return QStringLiteral(
               "Programs Renesas R8C/2A and R8C/2B microcontrollers through a USB flash-programmer "
               "box.\nWithout options every real box found is used; --simulate attaches a "
               "simulated box.\n\nFaults of the simulated box (--sim-fault):\n") +
           QString::fromStdString(SimFaultHelp());
}

void SetUp(QCommandLineParser& parser, const Options& options) {
    parser.setApplicationDescription(Description());
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    options.AddTo(parser);
}

// Seven bytes from fourteen hexadecimal digits.
std::optional<std::array<std::uint8_t, 7>> ParseIdCode(const QString& text) {
    const std::string digits = text.toStdString();
    if (digits.size() != 14)
        return std::nullopt;
    std::array<std::uint8_t, 7> code{};
    for (std::size_t i = 0; i < code.size(); ++i) {
        const auto value = ParseHex(digits.substr(2 * i, 2));
        if (!value)
            return std::nullopt;
        code[i] = static_cast<std::uint8_t>(*value);
    }
    return code;
}

bool HeadlessPlatform() {
    const QString platform = QGuiApplication::platformName();
    return platform == QStringLiteral("offscreen") || platform == QStringLiteral("minimal");
}

}  // namespace

CProgrammerApp::CProgrammerApp(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName(QStringLiteral("o8r-programmer"));
    setApplicationVersion(QString::fromLatin1(build::kVersion));
    setWindowIcon(IconById(IdNumber(IDI_APP)));
}

CProgrammerApp::~CProgrammerApp() {
    // The window releases the box on its way out; the box goes after it.
    m_window.reset();
    m_bridge.reset();
}

std::optional<CProgrammerApp::Arguments> CProgrammerApp::ParseArguments(
    const QStringList& arguments, QString& error) {
    QCommandLineParser parser;
    const Options options;
    SetUp(parser, options);
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    if (!parser.parse(arguments)) {
        error = parser.errorText();
        return std::nullopt;
    }
    if (!parser.positionalArguments().isEmpty()) {
        error = QStringLiteral("Unexpected argument: ") + parser.positionalArguments().front();
        return std::nullopt;
    }

    Arguments result;
    result.helpRequested = parser.isSet(help) || parser.isSet(QStringLiteral("help-all"));
    result.versionRequested = parser.isSet(version);

    if (parser.isSet(options.catalogue)) {
        result.catalogue = parser.value(options.catalogue).toUtf8().toStdString();
        if (result.catalogue.empty()) {
            error = QStringLiteral("--catalogue needs the name of a file.");
            return std::nullopt;
        }
    }

    if (parser.isSet(options.job)) {
        result.job = QDir::toNativeSeparators(parser.value(options.job)).toUtf8().toStdString();
        if (result.job.empty()) {
            error = QStringLiteral("--job needs the name of a job file.");
            return std::nullopt;
        }
    }

    const bool simulate = parser.isSet(options.simulate);
    if (simulate && parser.isSet(options.port)) {
        error = QStringLiteral("--simulate and --port cannot be used together.");
        return std::nullopt;
    }
    for (const QCommandLineOption* simOnly :
         {&options.simProtect, &options.simUpdateMode, &options.simFault, &options.simState,
          &options.simTiming}) {
        if (!simulate && parser.isSet(*simOnly)) {
            error = QStringLiteral("--") + simOnly->names().front() +
                    QStringLiteral(" needs --simulate.");
            return std::nullopt;
        }
    }

    if (simulate) {
        result.box.kind = BoxChoice::Kind::Sim;
        if (parser.isSet(options.simProtect)) {
            const auto code = ParseIdCode(parser.value(options.simProtect));
            if (!code) {
                error = QStringLiteral("--sim-protect needs 14 hexadecimal digits, not \"") +
                        parser.value(options.simProtect) + QStringLiteral("\".");
                return std::nullopt;
            }
            result.box.sim.faults.protectedCode = *code;
        }
        result.box.sim.updateMode = parser.isSet(options.simUpdateMode);
        for (const QString& spec : parser.values(options.simFault)) {
            const std::string problem = ParseSimFault(spec.toStdString(), result.box.sim);
            if (!problem.empty()) {
                error = QStringLiteral("--sim-fault ") + spec + QStringLiteral(": ") +
                        QString::fromStdString(problem);
                return std::nullopt;
            }
        }
        if (parser.isSet(options.simTiming)) {
            const auto profile = ParseTimingProfile(parser.value(options.simTiming).toStdString());
            if (!profile) {
                error = QStringLiteral("--sim-timing needs fast, typical or slow, not \"") +
                        parser.value(options.simTiming) + QStringLiteral("\".");
                return std::nullopt;
            }
            result.box.sim.timings = TimingsFor(*profile);
        }
        if (parser.isSet(options.simState)) {
            result.box.simStatePath =
                QDir::toNativeSeparators(parser.value(options.simState)).toUtf8().toStdString();
        }
    } else if (parser.isSet(options.port)) {
        const QString port = parser.value(options.port);
        if (port.isEmpty()) {
            error = QStringLiteral("--port needs the name of a serial port.");
            return std::nullopt;
        }
        result.box.kind = BoxChoice::Kind::Serial;
        result.box.port = QFile::encodeName(port).toStdString();
    }
    return result;
}

QString CProgrammerApp::HelpText() {
    QCommandLineParser parser;
    const Options options;
    SetUp(parser, options);
    parser.addHelpOption();
    parser.addVersionOption();
    return parser.helpText();
}

bool CProgrammerApp::WantsTextOnly(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const QByteArray argument(argv[i]);
        if (argument == "-h" || argument == "--help" || argument == "-help" || argument == "-?" ||
            argument == "--help-all" || argument == "-v" || argument == "--version" ||
            argument == "-version") {
            return true;
        }
    }
    return false;
}

int CProgrammerApp::RunTextOnly() {
    QString error;
    const auto arguments = ParseArguments(QCoreApplication::arguments(), error);
    if (!arguments) {
        std::fprintf(stderr, "o8r-programmer: %s\nTry --help.\n", error.toLocal8Bit().constData());
        return 2;
    }
    if (arguments->helpRequested) {
        std::fputs(HelpText().toLocal8Bit().constData(), stdout);
    } else {
        std::printf("o8r-programmer %s\n", build::kVersion);
    }
    return 0;
}

void CProgrammerApp::ReportStartFailure(const QString& text) {
    std::fprintf(stderr, "o8r-programmer: %s\n", text.toLocal8Bit().constData());
    if (!HeadlessPlatform()) {
        QMessageBox::critical(nullptr, QStringLiteral("o8r-programmer"), text);
    }
}

int CProgrammerApp::Run() {
    QString error;
    const auto arguments = ParseArguments(QCoreApplication::arguments(), error);
    if (!arguments) {
        ReportStartFailure(error + QStringLiteral("\nTry --help."));
        return 2;
    }
    if (arguments->helpRequested || arguments->versionRequested)
        return RunTextOnly();

    // Caught before the box (and its state file's lock) is taken, so that a
    // SIGTERM or SIGINT from then on ends the program as closing it does.
    TerminationNotifier termination;
    connect(&termination, &TerminationNotifier::Terminating, this,
            [this](int signalNumber) { EndOnSignal(signalNumber); });

    std::string bridgeError;
    m_bridge = MakeBridge(arguments->box, m_clock, bridgeError);
    if (!m_bridge) {
        ReportStartFailure(QString::fromLocal8Bit(bridgeError.c_str()));
        return 1;
    }

    const QString directory = QCoreApplication::applicationDirPath();
    const std::string programDirectory = QDir::toNativeSeparators(directory).toUtf8().toStdString();
    m_window = std::make_unique<CProgrammerDlg>(*m_bridge, m_clock, m_prompts, programDirectory);
    // Not found anywhere: the window reports it as missing beside the program.
    if (const auto catalogue =
            FindCatalogue(arguments->catalogue, programDirectory, build::kInstallDataDirectory)
                .found) {
        m_window->SetCataloguePath(*catalogue);
    } else if (!arguments->catalogue.empty()) {
        m_window->SetCataloguePath(arguments->catalogue);
    }
    // The boxes a job names: with --simulate each is a simulated box of its
    // own (with the switches given, without the state file); else "sim:N"
    // is simulated and any other name is a serial port.
    m_window->SetBoxMaker(
        [this, base = arguments->box](const std::string& name, std::string& problem) {
            BoxChoice choice;
            if (base.kind == BoxChoice::Kind::Sim || name.rfind("sim:", 0) == 0) {
                choice.kind = BoxChoice::Kind::Sim;
                if (base.kind == BoxChoice::Kind::Sim)
                    choice.sim = base.sim;
            } else {
                choice.kind = BoxChoice::Kind::Serial;
                choice.port = name;
            }
            return MakeBridge(choice, m_clock, problem);
        });
    m_window->InitDialog();
    ExitAfterFirstPaintIfAsked(*m_window);
    if (!arguments->job.empty()) {
        QTimer::singleShot(0, m_window.get(),
                           [this, job = arguments->job] { m_window->OpenJobFile(job); });
    }
    m_window->exec();
    // The window releases the box on its way out; then the simulated box's
    // state is written back, and a state that was lost fails the run.
    m_window.reset();
    if (!SaveState())
        return 1;
    return 0;
}

bool CProgrammerApp::SaveState() {
    std::string error;
    if (m_bridge == nullptr || SaveBoxState(*m_bridge, error))
        return true;
    ReportStartFailure(QStringLiteral("The simulated box's state was not saved: ") +
                       QString::fromStdString(error));
    return false;
}

void CProgrammerApp::EndOnSignal(int signalNumber) {
    // As a close of the window would: the box released, its state saved. The
    // window may be inside a message box's loop, so the process ends here
    // rather than unwinding through it.
    if (m_window)
        m_window->CloseWithoutAsking();
    std::string error;
    if (m_bridge != nullptr && !SaveBoxState(*m_bridge, error)) {
        std::fprintf(stderr, "o8r-programmer: the simulated box's state was not saved: %s\n",
                     error.c_str());
        std::_Exit(1);
    }
    TerminationNotifier::EndBySignal(signalNumber);
}

}  // namespace o8r
