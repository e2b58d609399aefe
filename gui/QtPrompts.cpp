#include "gui/QtPrompts.h"

#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QMessageBox>
#include <QMetaObject>
#include <QTreeView>

#include "gui/QtFileMemory.h"
#include "gui/QtWindowTimers.h"
#include "gui/dialogs/AddressRangeDialog.h"
#include "gui/dialogs/BaseAddressDialog.h"
#include "gui/dialogs/EraseBlocksDialog.h"
#include "gui/dialogs/FileLoadingDialog.h"
#include "gui/dialogs/IdCodeDialog.h"
#include "gui/dialogs/ReadDataWindow.h"

namespace o8r {

QString FromLocal(const std::string& text) {
    return QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size()));
}

std::string ToLocal(const QString& text) {
    return text.toLocal8Bit().toStdString();
}

namespace {

QMessageBox::Icon ToQtIcon(MsgIcon icon) {
    switch (icon) {
        case MsgIcon::Error:
            return QMessageBox::Critical;
        case MsgIcon::Exclamation:
            return QMessageBox::Warning;
        case MsgIcon::Question:
            return QMessageBox::Question;
        case MsgIcon::None:
            break;
    }
    return QMessageBox::NoIcon;
}

// Restores the previous owner of a kind of box when a dialog closes.
class OwnerScope {
  public:
    OwnerScope(QtPrompts& prompts, Owner owner, QWidget* window)
        : m_prompts(prompts), m_owner(owner), m_previous(prompts.OwnerWindow(owner)) {
        m_prompts.SetOwnerWindow(owner, window);
    }
    ~OwnerScope() { m_prompts.SetOwnerWindow(m_owner, m_previous); }
    OwnerScope(const OwnerScope&) = delete;
    OwnerScope& operator=(const OwnerScope&) = delete;

  private:
    QtPrompts& m_prompts;
    Owner m_owner;
    QPointer<QWidget> m_previous;
};

// Timers for dialogs run before a main window is attached (tests of one dialog).
QtWindowTimers& FallbackTimers() {
    static RealClock clock;
    static QtWindowTimers timers(clock);
    return timers;
}

}  // namespace

void QtPrompts::Attach(QWidget* mainWindow, QtWindowTimers* timers) {
    m_mainWindow = mainWindow;
    m_timers = timers;
    m_owners[Owner::MainWindow] = mainWindow;
}

QWidget* QtPrompts::OwnerWindow(Owner owner) const {
    auto it = m_owners.find(owner);
    if (it != m_owners.end() && it->second)
        return it->second;
    return m_mainWindow;
}

void QtPrompts::SetOwnerWindow(Owner owner, QWidget* window) {
    if (window) {
        m_owners[owner] = window;
    } else {
        m_owners.erase(owner);
    }
}

MsgAnswer QtPrompts::ShowMessage(const Message& message) {
    if (m_messageHook)
        return m_messageHook(message);

    const bool yesNo = message.buttons == MsgButtons::YesNo;
    QMessageBox box(ToQtIcon(message.icon), FromLocal(message.caption), FromLocal(message.text),
                    yesNo ? (QMessageBox::Yes | QMessageBox::No) : QMessageBox::Ok,
                    OwnerWindow(message.owner));
    // The texts are plain: "\n" breaks the line, nothing is read as markup.
    box.setTextFormat(Qt::PlainText);
    if (yesNo) {
        box.setDefaultButton(QMessageBox::Yes);
        box.setEscapeButton(QMessageBox::No);
    }
    const int result = box.exec();
    if (!yesNo)
        return MsgAnswer::Ok;
    return result == QMessageBox::Yes ? MsgAnswer::Yes : MsgAnswer::No;
}

std::optional<std::string> QtPrompts::ChooseOpenFile(Owner owner, const FileDialogSpec& spec) {
    return ChooseFile(owner, spec, false);
}

std::optional<std::string> QtPrompts::ChooseSaveFile(Owner owner, const FileDialogSpec& spec) {
    return ChooseFile(owner, spec, true);
}

QtFileMemory& QtPrompts::FileMemory() {
    if (!m_fileMemory)
        m_fileMemory = std::make_shared<QtFileMemory>();
    return *m_fileMemory;
}

void SetUpFileDialog(QFileDialog& dialog, const FileDialogSpec& spec, const QString& start,
                     bool forSaving) {
    // The label already names its pattern ("Motorola Format(*.mot)"); Qt shows it as it stands.
    QStringList filters{FromLocal(spec.filterLabel) + QStringLiteral(" (") +
                        FromLocal(spec.pattern) + QStringLiteral(")")};
    QStringList suffixes{FromLocal(spec.defaultExtension)};
    for (const FileDialogSpec::Filter& filter : spec.otherFilters) {
        filters << FromLocal(filter.label) + QStringLiteral(" (") + FromLocal(filter.pattern) +
                       QStringLiteral(")");
        suffixes << FromLocal(filter.defaultExtension);
    }
    for (QString& suffix : suffixes) {
        if (suffix.startsWith(QLatin1Char('.')))
            suffix.remove(0, 1);
    }
    dialog.setNameFilters(filters);
    dialog.setOption(QFileDialog::HideNameFilterDetails, true);
    if (forSaving) {
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        // The save handler asks its own overwrite question.
        dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
        dialog.setDefaultSuffix(suffixes.front());
        // A name typed without an extension takes the chosen format's, which
        // the save then writes.
        QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog,
                         [&dialog, filters, suffixes](const QString& filter) {
                             const qsizetype at = filters.indexOf(filter);
                             if (at >= 0)
                                 dialog.setDefaultSuffix(suffixes[at]);
                         });
    } else {
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        // As the system dialog does without extra flags, a typed name need not
        // exist; the loader then reports that it cannot open it.
        dialog.setFileMode(QFileDialog::AnyFile);
    }
    if (!start.isEmpty()) {
        const QFileInfo place(start);
        if (place.isDir()) {
            dialog.setDirectory(place.absoluteFilePath());
        } else {
            dialog.setDirectory(place.absolutePath());
            dialog.selectFile(place.fileName());
        }
    }
    // Wide enough for the name, size, type and date columns of Qt's own
    // dialog ("1,0 KiB" rather than "1,0...tes").
    const QFontMetrics metrics(dialog.font());
    const QSize wanted(metrics.averageCharWidth() * 110, metrics.height() * 30);
    dialog.resize(dialog.size().expandedTo(wanted));
    if (auto* list = dialog.findChild<QTreeView*>(QStringLiteral("treeView"))) {
        list->header()->setStretchLastSection(false);
        list->header()->setSectionResizeMode(0, QHeaderView::Stretch);
        for (int column = 1; column < list->header()->count(); ++column)
            list->header()->setSectionResizeMode(column, QHeaderView::ResizeToContents);
    }
}

std::optional<std::string> QtPrompts::ChooseFile(Owner owner, const FileDialogSpec& spec,
                                                 bool forSaving) {
    const QString start = FileMemory().StartPath(spec.kind);
    std::optional<std::string> chosen;
    if (m_fileChooser) {
        chosen = m_fileChooser(owner, spec, forSaving);
    } else {
        QFileDialog dialog(OwnerWindow(owner), FromLocal(spec.title));
        SetUpFileDialog(dialog, spec, start, forSaving);
        if (dialog.exec() != QDialog::Accepted)
            return std::nullopt;
        const QStringList files = dialog.selectedFiles();
        if (files.isEmpty())
            return std::nullopt;
        // The core takes paths as UTF-8 with the platform's own separators.
        chosen = QDir::toNativeSeparators(files.front()).toUtf8().toStdString();
    }
    if (chosen && !chosen->empty())
        FileMemory().Remember(spec.kind, QString::fromUtf8(chosen->c_str()));
    return chosen;
}

DialogResult QtPrompts::RunModal(QDialog& dialog, Owner owner) {
    OwnerScope scope(*this, owner, &dialog);
    if (m_dialogHook) {
        QPointer<QDialog> guard(&dialog);
        DialogHook hook = m_dialogHook;
        // Queued, so that it runs inside the dialog's own modal loop.
        QMetaObject::invokeMethod(
            &dialog,
            [guard, hook] {
                if (guard && guard->isVisible())
                    hook(*guard);
            },
            Qt::QueuedConnection);
    }
    const int result = dialog.exec();
    return result == IdNumber(DialogResult::Ok) ? DialogResult::Ok : DialogResult::Cancel;
}

DialogResult QtPrompts::RunIdCodeDialog(IdCodeEntry& dialog) {
    IdCodeDialog window(dialog, m_mainWindow);
    return RunModal(window, Owner::IdCode);
}

DialogResult QtPrompts::RunEraseDialog(EraseBlockChoice& dialog) {
    EraseBlocksDialog window(dialog, m_mainWindow);
    return RunModal(window, Owner::EraseSetting);
}

DialogResult QtPrompts::RunAddressDialog(AddressRangeEntry& dialog) {
    AddressRangeDialog window(dialog, m_mainWindow);
    return RunModal(window, Owner::AddressSetting);
}

DialogResult QtPrompts::RunBaseAddressDialog(BaseAddressEntry& dialog) {
    BaseAddressDialog window(dialog, m_mainWindow);
    return RunModal(window, Owner::AddressSetting);
}

DialogResult QtPrompts::RunReadWindow(ReadSession& session) {
    ReadDataWindow window(session, m_timers ? *m_timers : FallbackTimers(), m_mainWindow);
    return RunModal(window, Owner::ReadData);
}

DialogResult QtPrompts::RunFileLoadDialog(FileLoadJob& job) {
    FileLoadingDialog window(job, m_timers ? *m_timers : FallbackTimers(), m_mainWindow);
    return RunModal(window, Owner::FileLoading);
}

}  // namespace o8r
