#include "gui/CProgrammerDlg.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTreeWidget>
#include <functional>

#include "bridges/BridgeFactory.h"
#include "core/model/Ids.h"
#include "core/model/Messages.h"
#include "core/window/SharedState.h"
#include "gui/OperatorWindow.h"
#include "gui/QtDialogUnits.h"
#include "gui/QtPicture.h"
#include "gui/QtPrompts.h"
#include "gui/QtResources.h"
#include "gui/QtTextFit.h"
#include "gui/QtViewStyle.h"

namespace o8r {

namespace {

constexpr int kWidth = 257;
constexpr int kHeight = 187;
constexpr int kListColumnWidth = 100;

// The item's text exactly as cut from the catalogue, blanks and all.
constexpr int kRawTextRole = Qt::UserRole + 1;

// The property list reacts to mouse clicks and double clicks only, never to a
// selection moved by the keyboard. A click on the empty area below the rows
// clears the selection, so it selects nothing.
class McuList : public QTreeWidget {
  public:
    using QTreeWidget::QTreeWidget;

    std::function<void()> onClick;
    std::function<void()> onDoubleClick;

  protected:
    void mousePressEvent(QMouseEvent* event) override {
        m_swallowRelease = false;
        if (!indexAt(event->position().toPoint()).isValid())
            clearSelection();
        QTreeWidget::mousePressEvent(event);
    }
    void mouseReleaseEvent(QMouseEvent* event) override {
        QTreeWidget::mouseReleaseEvent(event);
        if (event->button() != Qt::LeftButton)
            return;
        // The release that ends a double click is not another click.
        if (m_swallowRelease) {
            m_swallowRelease = false;
            return;
        }
        if (onClick)
            onClick();
    }
    void mouseDoubleClickEvent(QMouseEvent* event) override {
        QTreeWidget::mouseDoubleClickEvent(event);
        if (event->button() != Qt::LeftButton)
            return;
        m_swallowRelease = true;
        if (onDoubleClick)
            onDoubleClick();
    }

  private:
    bool m_swallowRelease = false;
};

struct CommandButton {
    int button;
    int label;
};

// Buttons and their caption labels, in the order the window switches them.
constexpr CommandButton kCommands[] = {
    {IdNumber(IDC_PROGRAM), IdNumber(IDC_PROGRAM_LABEL)},
    {IdNumber(IDC_ERASE), IdNumber(IDC_ERASE_LABEL)},
    {IdNumber(IDC_READ), IdNumber(IDC_READ_LABEL)},
    {IdNumber(IDC_LOAD), IdNumber(IDC_LOAD_LABEL)},
    {IdNumber(IDC_BLANK_CHECK), IdNumber(IDC_BLANK_CHECK_LABEL)},
};

int LabelOf(int buttonId) {
    for (const CommandButton& c : kCommands) {
        if (c.button == buttonId)
            return c.label;
    }
    return 0;
}

int ButtonOf(int labelId) {
    for (const CommandButton& c : kCommands) {
        if (c.label == labelId)
            return c.button;
    }
    return 0;
}

QString CommandToolTip(int buttonId, int icon, const QString& label) {
    if (icon == IdNumber(IDI_CANCEL))
        return QStringLiteral("Cancel the running operation");
    switch (buttonId) {
        case IdNumber(IDC_PROGRAM):
            return QStringLiteral("Program the target MCU from an S-record file");
        case IdNumber(IDC_ERASE):
            return QStringLiteral("Erase flash blocks of the target MCU");
        case IdNumber(IDC_READ):
            return QStringLiteral("Read an address range of the target MCU");
        case IdNumber(IDC_LOAD):
            if (label == QString::fromLatin1(text::kLabelUpdate)) {
                return QStringLiteral("Update the programmer's firmware from an S-record file");
            }
            return QStringLiteral("Load an S-record image into the programmer");
        case IdNumber(IDC_BLANK_CHECK):
            return QStringLiteral("Check that an address range of the target MCU is erased");
        default:
            return QString();
    }
}

QString RawText(const std::string& text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

CProgrammerDlg::CProgrammerDlg(Bridge& bridge, Clock& clock, QtPrompts& prompts,
                               std::string programDirectory, QWidget* parent)
    : QDialog(parent),
      m_timers(clock),
      m_busyClock(clock, m_timers, *this),
      m_controller(bridge, m_busyClock, *this, prompts),
      m_programDirectory(std::move(programDirectory)),
      m_bridge(bridge),
      m_prompts(prompts) {
    UseApplicationViewStyle();
    setWindowTitle(QString::fromLatin1(text::kMainWindowCaption));
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setWindowIcon(IconById(IdNumber(IDI_APP)));
    setFont(DialogFont(QStringLiteral("System"), 10));
    CreateControls();
    prompts.Attach(this, &m_timers);
}

CProgrammerDlg::~CProgrammerDlg() {
    // However the window goes, the programmer is released on the way.
    ReleaseLink();
    m_timers.Stop(TIMER_DEVICE_POLL);
    m_timers.Stop(TIMER_OPERATION);
}

void CProgrammerDlg::CreateControls() {
    const DialogUnits du(font());
    // The menu bar above, the template's controls below it in a client area
    // of the template's size.
    m_menuBar = new QMenuBar(this);
    QMenu* file = m_menuBar->addMenu(QStringLiteral("&File"));
    m_openJob = file->addAction(QStringLiteral("Open &job..."));
    m_openJob->setShortcut(QKeySequence::Open);
    connect(m_openJob, &QAction::triggered, this, [this] { ChooseJob(); });
    m_client = new QWidget(this);
    m_client->setFixedSize(du.Size(kWidth, kHeight));
    const int barHeight = m_menuBar->sizeHint().height();
    m_menuBar->setGeometry(0, 0, m_client->width(), barHeight);
    m_client->move(0, barHeight);
    setFixedSize(m_client->width(), m_client->height() + barHeight);

    auto commandButton = [&](int id, int x, int y) {
        auto* button = new QPushButton(m_client);
        PlaceControl(button, id, du, x, y, 25, 25);
        button->setIconSize(QSize(32, 32));
        // Enter must not press a command.
        button->setAutoDefault(false);
        button->setDefault(false);
        button->setFocusPolicy(Qt::StrongFocus);
        button->hide();
        m_controls[id] = button;
    };
    auto label = [&](int id, const char* text, Qt::Alignment align, int x, int y, int w) {
        auto* caption = new QLabel(QString::fromLatin1(text), m_client);
        PlaceControl(caption, id, du, x, y, w, 8);
        caption->setAlignment(align | Qt::AlignVCenter);
        caption->hide();
        m_controls[id] = caption;
    };

    // Template order: also the tab order, and the stacking order from the top.
    commandButton(IdNumber(IDC_PROGRAM), 5, 5);
    label(IdNumber(IDC_PROGRAM_LABEL), text::kLabelProgram, Qt::AlignHCenter, 5, 30, 27);
    commandButton(IdNumber(IDC_ERASE), 5, 40);
    commandButton(IdNumber(IDC_READ), 5, 75);
    label(IdNumber(IDC_ERASE_LABEL), text::kLabelErase, Qt::AlignHCenter, 5, 65, 25);
    label(IdNumber(IDC_BLANK_CHECK_LABEL), text::kLabelBlankCheck, Qt::AlignLeft, 5, 174, 51);
    commandButton(IdNumber(IDC_BLANK_CHECK), 5, 147);
    label(IdNumber(IDC_READ_LABEL), text::kLabelRead, Qt::AlignHCenter, 5, 100, 24);

    m_progress = new QProgressBar(m_client);
    PlaceControl(m_progress, IdNumber(IDC_PROGRESS), du, 51, 174, 195, 8);
    m_progress->setRange(0, 100);
    m_progress->setValue(0);
    m_progress->setTextVisible(false);
    m_progress->hide();
    m_controls[IdNumber(IDC_PROGRESS)] = m_progress;

    m_status = new QLabel(m_client);
    PlaceControl(m_status, IdNumber(IDC_STATUS), du, 43, 174, 209, 8);
    m_status->setAlignment(Qt::AlignCenter);
    m_controls[IdNumber(IDC_STATUS)] = m_status;

    commandButton(IdNumber(IDC_LOAD), 5, 110);
    label(IdNumber(IDC_LOAD_LABEL), text::kLabelLoad, Qt::AlignHCenter, 5, 135, 24);

    auto* list = new McuList(m_client);
    m_list = list;
    PlaceControl(m_list, IdNumber(IDC_MCU_LIST), du, 119, 5, 133, 161);
    m_list->setHeaderHidden(true);
    m_list->header()->setStretchLastSection(false);
    m_list->setColumnCount(0);
    m_list->setRootIsDecorated(false);
    m_list->setItemsExpandable(false);
    m_list->setUniformRowHeights(true);
    m_list->setSortingEnabled(false);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setFocusPolicy(Qt::StrongFocus);
    m_list->setEnabled(false);
    SetViewColours(m_list, CatalogueBackground(), CatalogueText());
    list->onClick = [this] { OnListClick(); };
    list->onDoubleClick = [this] { OnListDoubleClick(); };
    m_controls[IdNumber(IDC_MCU_LIST)] = m_list;

    m_tree = new QTreeWidget(m_client);
    PlaceControl(m_tree, IdNumber(IDC_MCU_TREE), du, 35, 5, 84, 161);
    m_tree->setHeaderHidden(true);
    m_tree->setColumnCount(1);
    m_tree->setRootIsDecorated(true);
    m_tree->setSortingEnabled(false);
    m_tree->setSelectionMode(QAbstractItemView::SingleSelection);
    m_tree->setFocusPolicy(Qt::StrongFocus);
    m_tree->hide();
    SetViewColours(m_tree, CatalogueBackground(), CatalogueText());
    // Buttons, lines and lines at the root, in the tree's colours.
    UseViewStyle(m_tree);
    // The tree follows every change of its selection, by mouse or keyboard.
    connect(m_tree, &QTreeWidget::itemSelectionChanged, this, [this] { OnTreeSelectionChanged(); });
    m_controls[IdNumber(IDC_MCU_TREE)] = m_tree;

    m_picture = new QtPicture(PictureResource(IdNumber(IDB_BACKGROUND)), m_client);
    PlaceControl(m_picture, IdNumber(IDC_PICTURE), du, 5, 5, 247, 177);
    m_controls[IdNumber(IDC_PICTURE)] = m_picture;

    // The first control of the template lies on top, the picture beneath all.
    const QObjectList templateOrder = m_client->children();
    for (QObject* child : templateOrder) {
        if (auto* widget = qobject_cast<QWidget*>(child))
            widget->lower();
    }

    const std::pair<int, void (ProgrammerController::*)()> handlers[] = {
        {IdNumber(IDC_PROGRAM), &ProgrammerController::OnProgram},
        {IdNumber(IDC_ERASE), &ProgrammerController::OnErase},
        {IdNumber(IDC_READ), &ProgrammerController::OnRead},
        {IdNumber(IDC_LOAD), &ProgrammerController::OnLoadButton},
        {IdNumber(IDC_BLANK_CHECK), &ProgrammerController::OnBlankCheck},
    };
    for (const auto& [id, handler] : handlers) {
        // A handler holds the thread while it waits for the box (the firmware
        // update for its whole exchange): the window keeps painting meanwhile.
        connect(Button(id), &QPushButton::clicked, this, [this, handler = handler] {
            const QtBusyClock::Busy busy(m_busyClock);
            (m_controller.*handler)();
        });
    }

    FitControlsToText(*m_client);

    SetButtonIcon(IDC_PROGRAM, IDI_PROGRAM);
    SetButtonIcon(IDC_ERASE, IDI_ERASE);
    SetButtonIcon(IDC_READ, IDI_READ);
    SetButtonIcon(IDC_LOAD, IDI_LOAD);
    SetButtonIcon(IDC_BLANK_CHECK, IDI_BLANK_CHECK);
}

void CProgrammerDlg::InitDialog() {
    if (m_initialised)
        return;
    m_initialised = true;
    // The window initialises before it shows, as a dialog does. A message of
    // its initialisation ("Can not find MCU file!") is centred over it, so it
    // takes its place at the centre of the screen first.
    if (!isVisible()) {
        QRect place(QPoint(), size());
        place.moveCenter(screen()->availableGeometry().center());
        move(place.topLeft());
    }
    m_controller.OnInitDialog(m_programDirectory, m_cataloguePath);
}

QWidget* CProgrammerDlg::Control(int id) const {
    auto it = m_controls.find(id);
    return it == m_controls.end() ? nullptr : it->second;
}

QPushButton* CProgrammerDlg::Button(int id) const {
    return qobject_cast<QPushButton*>(Control(id));
}

QLabel* CProgrammerDlg::Label(int id) const {
    return qobject_cast<QLabel*>(Control(id));
}

int CProgrammerDlg::ButtonIcon(int id) const {
    auto it = m_buttonIcons.find(id);
    return it == m_buttonIcons.end() ? 0 : it->second;
}

void CProgrammerDlg::ShowControl(ControlId id, bool show) {
    if (QWidget* control = Control(id))
        control->setVisible(show);
}

void CProgrammerDlg::EnableControl(ControlId id, bool enable) {
    if (QWidget* control = Control(id))
        control->setEnabled(enable);
}

void CProgrammerDlg::SetControlText(ControlId controlId, const std::string& text) {
    const int id = IdNumber(controlId);
    QLabel* label = Label(id);
    if (!label)
        return;
    label->setText(FromLocal(text));
    FitControlToText(label);
    // Long operations hold the thread; show the text now.
    label->repaint();
    if (const int button = ButtonOf(id))
        RefreshToolTip(button);
}

void CProgrammerDlg::SetButtonIcon(ControlId buttonId, IconId iconId) {
    const int id = IdNumber(buttonId);
    const int icon = IdNumber(iconId);
    QPushButton* button = Button(id);
    if (!button)
        return;
    m_buttonIcons[id] = icon;
    button->setIcon(IconById(icon));
    RefreshToolTip(id);
}

void CProgrammerDlg::RefreshToolTip(int buttonId) {
    QPushButton* button = Button(buttonId);
    QLabel* label = Label(LabelOf(buttonId));
    if (!button || !label)
        return;
    const QString tip = CommandToolTip(buttonId, ButtonIcon(buttonId), label->text());
    button->setToolTip(tip);
    button->setAccessibleName(label->text());
    button->setAccessibleDescription(tip);
}

void CProgrammerDlg::SetProgress(int percent) {
    m_progress->setValue(percent);
    m_progress->repaint();
}

int CProgrammerDlg::Progress() const {
    return m_progress->value();
}

void CProgrammerDlg::StartTimer(TimerId timerId, int periodMs) {
    m_timers.Start(this, timerId, periodMs, [this](TimerId id) { m_controller.OnTimer(id); });
}

void CProgrammerDlg::StopTimer(TimerId timerId) {
    m_timers.Stop(timerId);
}

void CProgrammerDlg::FillMcuTree(const std::vector<McuTreeGroup>& groups) {
    for (const McuTreeGroup& group : groups) {
        auto* root = new QTreeWidgetItem(m_tree, QStringList(RawText(group.text)));
        root->setData(0, kRawTextRole, QByteArray::fromStdString(group.text));
        for (const std::string& series : group.series) {
            auto* child = new QTreeWidgetItem(root, QStringList(RawText(series)));
            child->setData(0, kRawTextRole, QByteArray::fromStdString(series));
        }
    }
}

void CProgrammerDlg::SetUpMcuListColumns() {
    m_list->setColumnCount(2);
    for (int column = 0; column < 2; ++column) {
        m_list->header()->resizeSection(column, kListColumnWidth);
    }
}

void CProgrammerDlg::SetMcuListRows(const std::vector<McuListRow>& rows) {
    m_list->clear();
    for (const McuListRow& row : rows) {
        auto* item = new QTreeWidgetItem(m_list);
        item->setText(0, RawText(row.part));
        item->setText(1, RawText(row.memorySize));
    }
}

void CProgrammerDlg::OnTreeSelectionChanged() {
    const QList<QTreeWidgetItem*> selected = m_tree->selectedItems();
    if (selected.isEmpty())
        return;
    m_controller.OnTreeSelectionChanged(
        selected.front()->data(0, kRawTextRole).toByteArray().toStdString());
}

int CProgrammerDlg::FirstSelectedListRow() const {
    for (int row = 0; row < m_list->topLevelItemCount(); ++row) {
        if (m_list->topLevelItem(row)->isSelected())
            return row;
    }
    return -1;
}

void CProgrammerDlg::OnListClick() {
    m_controller.OnListClick(FirstSelectedListRow());
}

void CProgrammerDlg::OnListDoubleClick() {
    m_controller.OnListDoubleClick(FirstSelectedListRow());
}

void CProgrammerDlg::ReleaseLink() {
    if (m_linkReleased)
        return;
    m_linkReleased = true;
    m_controller.CloseLink();
}

void CProgrammerDlg::SetBusy(bool busy) {
    if (busy == m_busyCursor)
        return;
    m_busyCursor = busy;
    if (busy) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
    } else {
        QApplication::restoreOverrideCursor();
    }
}

void CProgrammerDlg::CloseWindow() {
    // After the handler that ended the operation has returned.
    QMetaObject::invokeMethod(
        this, [this] { reject(); }, Qt::QueuedConnection);
}

void CProgrammerDlg::reject() {
    // An operation under way is stopped first, or waited for, as the user says.
    if (!m_linkReleased &&
        m_controller.OnCloseRequested() != ProgrammerController::CloseAnswer::CloseNow) {
        return;
    }
    CloseWithoutAsking();
}

void CProgrammerDlg::CloseWithoutAsking() {
    SetBusy(false);
    ReleaseLink();
    // The window's timers end with it.
    m_timers.Stop(TIMER_DEVICE_POLL);
    m_timers.Stop(TIMER_OPERATION);
    QDialog::reject();
}

void CProgrammerDlg::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void CProgrammerDlg::ChooseJob() {
    if (m_controller.Busy())
        return;
    const QString path =
        QFileDialog::getOpenFileName(this, QStringLiteral("Open job"), QString(),
                                     QStringLiteral("Job files (*.toml);;All files (*)"));
    if (!path.isEmpty())
        OpenJobFile(QDir::toNativeSeparators(path).toUtf8().toStdString());
}

void CProgrammerDlg::ShowJobProblem(const std::string& text) {
    m_prompts.ShowMessage(
        Message{text, text::kCaptionError, MsgIcon::Error, MsgButtons::Ok, Owner::MainWindow});
}

bool CProgrammerDlg::OpenJobFile(const std::string& path) {
    if (m_controller.Busy())
        return false;
    OpenedJob opened = OpenJob(path, g_cataloguePath);
    if (!opened.plan) {
        std::string text = "The job " + path + " cannot be run:";
        for (const std::string& problem : opened.problems)
            text += "\n- " + problem;
        ShowJobProblem(text);
        return false;
    }
    std::string error;
    std::vector<std::string> names = JobBoxNames(opened.plan->job.boxes, error);
    if (names.empty()) {
        ShowJobProblem(error);
        return false;
    }
    if (names.size() == 1 && names.front() == "auto") {
        const auto found = FindBoxes(error);
        if (!found || found->empty()) {
            ShowJobProblem(found ? "No programmer found for the job's boxes = \"auto\"." : error);
            return false;
        }
        names.clear();
        for (const FoundBox& box : *found)
            names.push_back(box.port);
    }

    // The window lets go of its box: the job's boxes are the view's alone.
    m_controller.CloseLink();
    OperatorSetup setup;
    setup.job = std::make_unique<PlannedJob>(std::move(*opened.plan), names);
    std::vector<std::unique_ptr<BoardRunner>> runners;
    Clock& clock = m_timers.TheClock();
    for (const std::string& name : names) {
        Bridge* bridge = &m_bridge;
        if (!name.empty() && m_boxMaker) {
            std::unique_ptr<Bridge> made = m_boxMaker(name, error);
            if (!made) {
                ShowJobProblem(name + ": " + error);
                ResumeAfterJob();
                return false;
            }
            bridge = made.get();
            setup.ownedBridges.push_back(std::move(made));
        }
        runners.push_back(std::make_unique<JobBoardRunner>(*bridge, clock, *setup.job));
    }
    setup.controller = std::make_unique<OperatorController>(*setup.job, std::move(runners));

    OperatorWindow view(std::move(setup), clock, this);
    m_operatorView = &view;
    hide();
    // As large as the job needs, within the screen: the log takes what is left.
    QSize room = screen()->availableGeometry().size() - QSize(16, 48);
    view.resize(view.sizeHint()
                    .expandedTo(QSize(640, 600))
                    .boundedTo(room)
                    .expandedTo(view.minimumSizeHint()));
    if (m_operatorViewHook)
        m_operatorViewHook(view);
    view.exec();
    m_operatorView = nullptr;
    show();
    ResumeAfterJob();
    return true;
}

void CProgrammerDlg::ResumeAfterJob() {
    // Found afresh by the next poll, as if just plugged in.
    g_lastDeviceCount = -1;
    m_controller.ShowCommandButtons(0);
    m_timers.Start(this, TIMER_DEVICE_POLL, 200, [this](TimerId id) { m_controller.OnTimer(id); });
}

}  // namespace o8r
