#include "GuiHarness.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QTest>
#include <QTreeWidget>

#include "core/model/Ids.h"
#include "core/window/SharedState.h"
#include "gui/QtFileMemory.h"
#include "support/SimRig.h"
#include "support/TestData.h"

namespace o8r::test {

GuiHarness::GuiHarness(SimOptions options) : box(clock, std::move(options)) {
    ResetSharedState();
    // The file dialogs remember their folders in a settings file of the test's
    // own, never in the user's settings.
    prompts.SetFileMemory(std::make_shared<QtFileMemory>(SettingsFile()));
    prompts.SetMessageHook([this](const Message& message) {
        messages.push_back(message);
        if (onMessage)
            onMessage(message);
        if (message.buttons == MsgButtons::Ok)
            return MsgAnswer::Ok;
        if (answers.empty())
            return MsgAnswer::No;
        const MsgAnswer answer = answers.front();
        answers.pop_front();
        return answer;
    });
    prompts.SetFileChooser([this](Owner owner, const FileDialogSpec& spec, bool forSaving) {
        fileDialogs.push_back(ChosenFile{spec, owner, forSaving});
        if (chosenFiles.empty())
            return std::optional<std::string>();
        auto choice = chosenFiles.front();
        chosenFiles.pop_front();
        return choice;
    });
    prompts.SetDialogHook([this](QDialog& dialog) {
        if (onDialog)
            onDialog(dialog);
        if (dialog.isVisible() && QTest::currentTestFailed())
            dialog.done(IdNumber(DialogResult::Cancel));
    });
}

GuiHarness::~GuiHarness() {
    m_window.reset();
    ExpectNoViolations(box);
}

std::unique_ptr<QSettings> GuiHarness::SettingsFile() const {
    return std::make_unique<QSettings>(QString::fromStdString(settingsDir.File("settings.ini")),
                                       QSettings::IniFormat);
}

SimOptions GuiHarness::Unplugged() {
    SimOptions options;
    options.faults.deviceCount = 0;
    return options;
}

CProgrammerDlg& GuiHarness::Open(const std::string& directory) {
    m_window = std::make_unique<CProgrammerDlg>(bridge, clock, prompts,
                                                directory.empty() ? BinPath("") : directory);
    m_window->show();
    m_window->InitDialog();
    return *m_window;
}

bool GuiHarness::OpenWithPart(const QString& series, const QString& part) {
    Open();
    return PlugBox() && SelectPart(series, part);
}

bool GuiHarness::WaitFor(const std::function<bool()>& done, int realMs) {
    QElapsedTimer elapsed;
    elapsed.start();
    while (!done()) {
        if (elapsed.elapsed() > realMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    }
    return true;
}

bool GuiHarness::RunFor(std::uint64_t ns) {
    const std::uint64_t until = clock.Now() + ns;
    return WaitFor([&] { return clock.Now() >= until; });
}

bool GuiHarness::WaitForMessage(const std::string& text, int realMs) {
    const std::size_t seen = messages.size();
    return WaitFor(
        [&] {
            for (std::size_t i = seen; i < messages.size(); ++i) {
                if (messages[i].text == text)
                    return true;
            }
            return false;
        },
        realMs);
}

bool GuiHarness::PlugBox() {
    box.Plug(1);
    return WaitFor([this] { return !Shown(IDC_PICTURE); });
}

bool GuiHarness::SelectSeries(const QString& series) {
    QTreeWidget* tree = m_window->Tree();
    tree->expandAll();
    // Catalogue names keep their trailing blanks.
    const QList<QTreeWidgetItem*> found =
        tree->findItems(series, Qt::MatchStartsWith | Qt::MatchRecursive);
    for (QTreeWidgetItem* item : found) {
        if (!item->parent() || item->text(0).trimmed() != series)
            continue;
        tree->scrollToItem(item);
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, {},
                          tree->visualItemRect(item).center());
        return item->isSelected();
    }
    return false;
}

QTreeWidgetItem* GuiHarness::FindListItem(const QString& part) const {
    QTreeWidget* list = m_window->List();
    for (int row = 0; row < list->topLevelItemCount(); ++row) {
        QTreeWidgetItem* item = list->topLevelItem(row);
        if (item->text(0).trimmed() == part.trimmed())
            return item;
    }
    return nullptr;
}

bool GuiHarness::ClickPart(const QString& part) {
    QTreeWidgetItem* item = FindListItem(part);
    if (!item)
        return false;
    QTreeWidget* list = m_window->List();
    list->scrollToItem(item);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(item).center());
    return true;
}

bool GuiHarness::DoubleClickPart(const QString& part) {
    QTreeWidgetItem* item = FindListItem(part);
    if (!item)
        return false;
    QTreeWidget* list = m_window->List();
    list->scrollToItem(item);
    DoubleClickAt(list->viewport(), list->visualItemRect(item).center());
    return true;
}

bool GuiHarness::SelectPart(const QString& series, const QString& part) {
    return SelectSeries(series) && ClickPart(part);
}

void GuiHarness::Click(ControlId buttonId) {
    QPushButton* button = m_window->Button(buttonId);
    QTest::mouseClick(button, Qt::LeftButton);
}

bool GuiHarness::Shown(ControlId id) const {
    QWidget* control = m_window->Control(id);
    return control && control->isVisibleTo(m_window.get());
}

bool GuiHarness::Enabled(ControlId id) const {
    QWidget* control = m_window->Control(id);
    return control && control->isEnabled();
}

QString GuiHarness::Text(ControlId id) const {
    QLabel* label = m_window->Label(id);
    return label ? label->text() : QString();
}

std::vector<std::string> GuiHarness::Texts() const {
    std::vector<std::string> texts;
    for (const Message& m : messages)
        texts.push_back(m.text);
    return texts;
}

std::vector<std::string> GuiHarness::TraceLines() const {
    std::vector<std::string> lines;
    std::istringstream in(trace.str());
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

void DoubleClickAt(QWidget* widget, const QPoint& at) {
    QTest::mouseClick(widget, Qt::LeftButton, {}, at);
    QTest::mousePress(widget, Qt::LeftButton, {}, at);
    QTest::mouseDClick(widget, Qt::LeftButton, {}, at);
    QTest::mouseRelease(widget, Qt::LeftButton, {}, at);
}

bool SaveScreenshot(QWidget& widget, const std::string& name) {
    // The pictures in docs/ change only on request (O8R_UPDATE_DOCS=1); an
    // ordinary run leaves the checkout as it was and writes beside the build.
    const bool updateDocs = qEnvironmentVariable("O8R_UPDATE_DOCS") == QLatin1String("1");
#ifdef Q_OS_WIN
    // The Windows tests run headless under Wine, without the fonts of the
    // documented pictures: theirs always stay in the build tree.
    Q_UNUSED(updateDocs);
    const QString docs = QDir::currentPath() + QStringLiteral("/screenshots");
#else
    const QString docs = updateDocs ? QString::fromStdString(SourcePath("docs"))
                                    : QString::fromLatin1(O8R_BIN_DIR "/../screenshots");
#endif
    QDir().mkpath(docs);
    return widget.grab().save(docs + QLatin1Char('/') + QString::fromStdString(name));
}

}  // namespace o8r::test
