#include "MainWindow.h"

#include "AppInfo.h"
#include "Application.h"
#include "AutoReplyWindow.h"
#include "ConnectionSettingsWindow.h"
#include "DynamicSmsWindow.h"
#include "FileMessagesWindow.h"
#include "GatewayAccount.h"
#include "GroupBackup.h"
#include "GroupMembersWindow.h"
#include "GroupWindow.h"
#include "ImportWindow.h"
#include "IncomingSmsWindow.h"
#include "InternetServices.h"
#include "MergedMessagesWindow.h"
#include "MessageFlowWindow.h"
#include "MiscReportsWindow.h"
#include "ModemChannel.h"
#include "NetworkSettings.h"
#include "PhoneConsoleWindow.h"
#include "PortHealthWindow.h"
#include "QueuedMessagesWindow.h"
#include "Prompter.h"
#include "SendGroupWindow.h"
#include "SendSingleWindow.h"
#include "ScheduleWindow.h"
#include "SerialPortLayer.h"
#include "SettingsReset.h"
#include "TemplatesWindow.h"
#include "TipWindow.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QMenuBar>
#include <QScreen>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>

namespace tavsms {

MainWindow::MainWindow(Application &app, QWidget *parent)
    : QMainWindow(parent)
    , m_app(app)
    , m_prompter(app.prompter())
    , m_mdi(new QMdiArea(this))
{
    setObjectName(QStringLiteral("MDIForm1"));
    setWindowTitle(AppInfo::title() + QLatin1Char(' ') + AppInfo::version());
    m_mdi->setObjectName(QStringLiteral("mdiArea"));
    setCentralWidget(m_mdi);
    resize(1000, 700);

    buildMenus();
    buildToolBar();
    buildStatusBar();
    centreOnScreen();

    connect(&m_app, &Application::tipRequested, this, &MainWindow::showTip);
}

// Screens go before the program they present.
MainWindow::~MainWindow()
{
    delete m_mdi;
}

bool MainWindow::storeIsOpen() const
{
    return m_app.hasStore() && !m_app.controller().isShutDown();
}

QAction *MainWindow::addItem(QMenu *menu, const QString &caption, const QString &name)
{
    QAction *action = menu->addAction(caption);
    action->setObjectName(name);
    return action;
}

void MainWindow::buildMenus()
{
    QMenuBar *bar = menuBar();
    MainController &controller = m_app.controller();
    Application *app = &m_app;

    QMenu *file = bar->addMenu(QStringLiteral("&File"));
    file->setObjectName(QStringLiteral("mnuFile"));
    connect(addItem(file, QStringLiteral("Configure Modem"), QStringLiteral("mnuFileConfig")), &QAction::triggered,
            this, &MainWindow::openConnectionSettings);
    m_reinitAction = addItem(file, QStringLiteral("Re-Initialize Modems"), QStringLiteral("mnuFileReInit"));
    connect(m_reinitAction, &QAction::triggered, this, [this] { m_app.reinitialize(); });
    connect(&controller, &MainController::initializingChanged, m_reinitAction,
            [this](bool running) { m_reinitAction->setEnabled(!running); });
    opens<ImportWindow>(addItem(file, QStringLiteral("Import Data"), QStringLiteral("mnuFileImp")),
                        [app] { return new ImportWindow(app->store().db()); });
    QMenu *flow = file->addMenu(QStringLiteral("Manage SMS Flow"));
    flow->setObjectName(QStringLiteral("mnuFileMSF"));
    m_stopAction = addItem(flow, QStringLiteral("Stop Message Sending"), QStringLiteral("mnuFileMSFStop"));
    m_startAction = addItem(flow, QStringLiteral("Start Message Sending"), QStringLiteral("mnuFileMSFStart"));
    m_startAction->setVisible(false);
    connect(m_stopAction, &QAction::triggered, &controller, &MainController::stopSending);
    connect(m_startAction, &QAction::triggered, &controller, &MainController::startSending);
    connect(&controller, &MainController::sendingMenuChanged, this, [this](bool stopVisible) {
        m_stopAction->setVisible(stopVisible);
        m_startAction->setVisible(!stopVisible);
    });
    QAction *exit = addItem(file, QStringLiteral("Exit"), QStringLiteral("mnuFileExit"));
    exit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_X));
    connect(exit, &QAction::triggered, this, &QWidget::close);

    QMenu *msg = bar->addMenu(QStringLiteral("&Messages"));
    msg->setObjectName(QStringLiteral("mnuMsg"));
    opens<SendSingleWindow>(addItem(msg, QStringLiteral("Send Single SMS"), QStringLiteral("mnuMsgSingle")),
                            [app] { return new SendSingleWindow(app->store(), app->state()); });
    opens<SendGroupWindow>(addItem(msg, QStringLiteral("Send Group SMS"), QStringLiteral("mnuMsgGroup")),
                           [app] { return new SendGroupWindow(app->store(), app->state()); });
    opens<DynamicSmsWindow>(addItem(msg, QStringLiteral("Dynamic SMS"), QStringLiteral("mnyMsgDyna")), [this] {
        auto *screen = new DynamicSmsWindow(m_app.store().db());
        connect(screen, &DynamicSmsWindow::merged, this, [this](const QList<MergedRow> &rows) {
            Application *app = &m_app;
            if (auto *shown = openScreen<MergedMessagesWindow>(
                    [app] { return new MergedMessagesWindow(app->store(), app->state()); }))
                shown->setRows(rows);
        });
        return screen;
    });
    opens<FileMessagesWindow>(addItem(msg, QStringLiteral("Dynamic SMS via Excel"), QStringLiteral("mnuMsgDynExcel")),
                              [app] { return new FileMessagesWindow(app->store(), app->state()); });
    msg->addSeparator()->setObjectName(QStringLiteral("mnuDash"));
    opens<IncomingSmsWindow>(addItem(msg, QStringLiteral("Incoming SMS"), QStringLiteral("mnuMsgIncSMS")),
                             [app] { return new IncomingSmsWindow(app->store().db()); });
    opens<AutoReplyWindow>(addItem(msg, QStringLiteral("Auto-Reply SMS"), QStringLiteral("mnuMsgIncoming")),
                           [app] { return new AutoReplyWindow(app->store().db()); });
    opens<ScheduleWindow>(addItem(msg, QStringLiteral("Schedule SMS"), QStringLiteral("mnuMsgSch")),
                          [app] { return new ScheduleWindow(app->store().db(), app->store().queue(), app->state()); });
    opens<QueuedMessagesWindow>(addItem(msg, QStringLiteral("Queued Messages"), QStringLiteral("mnuMsgQMsg")),
                                [app] { return new QueuedMessagesWindow(app->store().db(), app->state()); });

    QMenu *groups = bar->addMenu(QStringLiteral("Groups"));
    groups->setObjectName(QStringLiteral("mnuGroup"));
    QAction *manageGroups = addItem(groups, QStringLiteral("Manage Groups"), QStringLiteral("mnuMsgCG"));
    manageGroups->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_M));
    opens<GroupWindow>(manageGroups, [app] { return new GroupWindow(app->store().db()); });
    opens<GroupMembersWindow>(addItem(groups, QStringLiteral("Edit Group Members"), QStringLiteral("mnuGroupEGM")),
                              [app] { return new GroupMembersWindow(app->store().db()); });
    groups->addSeparator()->setObjectName(QStringLiteral("mnuGrpDash1"));
    connect(addItem(groups, QStringLiteral("Backup Groups"), QStringLiteral("mnuGrpBackup")), &QAction::triggered, this,
            [this] { GroupBackup::start(std::make_shared<GroupBackup>(m_app.store().db(), m_prompter)); });

    QMenu *templates = bar->addMenu(QStringLiteral("&Templates"));
    templates->setObjectName(QStringLiteral("mnuTemp"));
    opens<TemplatesWindow>(addItem(templates, QStringLiteral("Manage Templates"), QStringLiteral("mnuTempManage")),
                           [app] { return new TemplatesWindow(app->store().db()); });

    QMenu *internet = bar->addMenu(QStringLiteral("Internet SMS"));
    internet->setObjectName(QStringLiteral("mnuIS"));
    connect(addItem(internet, QStringLiteral("Check Balance"), QStringLiteral("mnuISCheck")), &QAction::triggered, this,
            [this] {
                if (GatewayAccount *account = m_app.internet().account())
                    account->checkBalance();
            });

    QMenu *reports = bar->addMenu(QStringLiteral("Reports"));
    reports->setObjectName(QStringLiteral("mnuReport"));
    opens<MiscReportsWindow>(addItem(reports, QStringLiteral("Misc Reports"), QStringLiteral("mnuReportGM")),
                             [app] { return new MiscReportsWindow(app->store().db()); });
    opens<MessageFlowWindow>(addItem(reports, QStringLiteral("Monthly Message Flow"), QStringLiteral("mnuReportMMF")),
                             [app] { return new MessageFlowWindow(app->store().db(), app->state()); });

    QMenu *help = bar->addMenu(QStringLiteral("&Help"));
    help->setObjectName(QStringLiteral("mnuHelp"));
    connect(addItem(help, QStringLiteral("About Us"), QStringLiteral("mnuHelpAnout")), &QAction::triggered, this,
            [this] {
                m_prompter.information(QStringLiteral("About ") + AppInfo::title(),
                                       AppInfo::title() + QStringLiteral(" version ") + AppInfo::version()
                                           + QStringLiteral("\r\nBulk SMS Software for GSM and CDMA Mobiles."));
            });
    connect(addItem(help, QStringLiteral("Check for Updates"), QStringLiteral("mnuHelpUpdates")), &QAction::triggered,
            this, [this] {
                if (GatewayAccount *account = m_app.internet().account())
                    account->checkForUpdates();
            });
    connect(addItem(help, QStringLiteral("Reset to Default"), QStringLiteral("mnuHelpReset")), &QAction::triggered,
            this, &MainWindow::resetSettings);
    // Shown and enabled, so that the phone console can be reached at all.
    opens<PhoneConsoleWindow>(addItem(help, QStringLiteral("Create Support Ticket"), QStringLiteral("mnuHelpCST")),
                              [app] { return new PhoneConsoleWindow(app->modem().console()); });
}

void MainWindow::buildToolBar()
{
    QToolBar *tools = addToolBar(QStringLiteral("Toolbar"));
    tools->setObjectName(QStringLiteral("Toolbar1"));
    tools->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    tools->setMovable(false);
    auto button = [&](const QString &caption, const QString &tip, QStyle::StandardPixmap icon,
                      const QString &menuItem) {
        QAction *action = tools->addAction(style()->standardIcon(icon), caption);
        action->setToolTip(tip);
        action->setObjectName(QStringLiteral("tb") + menuItem);
        QAction *item = findChild<QAction *>(menuItem);
        connect(action, &QAction::triggered, item, &QAction::trigger);
    };
    button(QStringLiteral("Single SMS"), QStringLiteral("Send single SMS"), QStyle::SP_FileIcon,
           QStringLiteral("mnuMsgSingle"));
    button(QStringLiteral("Group SMS"), QStringLiteral("Send group SMS"), QStyle::SP_FileDialogListView,
           QStringLiteral("mnuMsgGroup"));
    button(QStringLiteral("Schedule"), QStringLiteral("Schedule your SMS for later delivery"),
           QStyle::SP_FileDialogDetailedView, QStringLiteral("mnuMsgSch"));
    tools->addSeparator();
    button(QStringLiteral("Groups"), QStringLiteral("Manage Groups"), QStyle::SP_DirIcon, QStringLiteral("mnuMsgCG"));
    button(QStringLiteral("Templates"), QStringLiteral("Manage Templates"), QStyle::SP_FileDialogContentsView,
           QStringLiteral("mnuTempManage"));
}

void MainWindow::buildStatusBar()
{
    auto panel = [this](const QString &name, const QString &text, const QString &tip, int stretch) {
        auto *label = new QLabel(text, this);
        label->setObjectName(name);
        label->setToolTip(tip);
        label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        label->setContentsMargins(4, 0, 4, 0);
        statusBar()->addWidget(label, stretch);
        return label;
    };
    AppState &state = m_app.state();
    m_queuePanel = panel(QStringLiteral("panelQueue"), QStringLiteral("Q: 0"),
                         QStringLiteral("Messages currently in Queue"), 0);
    m_connectedPanel = panel(QStringLiteral("panelConnected"), state.connectedText(),
                             QStringLiteral("Mobile Currently Connected"), 0);
    // A click shows each port's signal and network.
    m_connectedPanel->setCursor(Qt::PointingHandCursor);
    m_connectedPanel->installEventFilter(this);
    m_tipPanel = panel(QStringLiteral("panelTips"), state.tipText(), QStringLiteral("Tips and Messages"), 1);

    // Beside the three panels: queued messages wait while sending is stopped,
    // whether from the menu, a reset to defaults or the queue view.
    m_stoppedIndicator = new QLabel(QStringLiteral("Sending stopped"), this);
    m_stoppedIndicator->setObjectName(QStringLiteral("indicatorSendingStopped"));
    m_stoppedIndicator->setToolTip(QStringLiteral("Queued messages are not sent until sending is started again "
                                                  "(File > Manage SMS Flow)."));
    m_stoppedIndicator->setStyleSheet(
        QStringLiteral("QLabel { background: #c62828; color: white; font-weight: bold; padding: 0 6px; }"));
    m_stoppedIndicator->setVisible(!state.sendingRunning());
    statusBar()->addPermanentWidget(m_stoppedIndicator);

    // Which store is in use; while a shared store's server is away, that it is.
    m_storePanel = new QLabel(state.storeText(), this);
    m_storePanel->setObjectName(QStringLiteral("panelStore"));
    m_storePanel->setToolTip(QStringLiteral("Where messages, groups and logs are kept"));
    m_storePanel->setContentsMargins(4, 0, 4, 0);
    statusBar()->addPermanentWidget(m_storePanel);
    const auto showStore = [this] {
        const AppState &s = m_app.state();
        m_storePanel->setText(s.storeText());
        m_storePanel->setStyleSheet(s.storeAvailable() ? QString()
                                                       : QStringLiteral("QLabel { color: #c62828; font-weight: bold; }"));
    };
    connect(&state, &AppState::storeTextChanged, this, showStore);
    connect(&state, &AppState::storeAvailableChanged, this, showStore);

    // The program goes on without its log, but the operator should know.
    MainController &controller = m_app.controller();
    m_debugLogIndicator = new QLabel(controller.debugLogTrouble(), this);
    m_debugLogIndicator->setObjectName(QStringLiteral("indicatorDebugLog"));
    m_debugLogIndicator->setStyleSheet(QStringLiteral("QLabel { color: #c62828; padding: 0 6px; }"));
    m_debugLogIndicator->setVisible(!controller.debugLogTrouble().isEmpty());
    statusBar()->addPermanentWidget(m_debugLogIndicator);
    connect(&controller, &MainController::debugLogTroubleChanged, m_debugLogIndicator, [this](const QString &text) {
        m_debugLogIndicator->setText(text);
        m_debugLogIndicator->setVisible(!text.isEmpty());
    });

    connect(&m_app.controller(), &MainController::queueTextChanged, m_queuePanel, &QLabel::setText);
    connect(&state, &AppState::connectedCountChanged, this, [this] {
        const AppState &s = m_app.state();
        m_connectedPanel->setText(s.connectedText());
        m_connectedPanel->setToolTip(s.connectedToolTip());
    });
    connect(&state, &AppState::tipTextChanged, m_tipPanel, &QLabel::setText);
    connect(&state, &AppState::sendingRunningChanged, m_stoppedIndicator,
            [this](bool running) { m_stoppedIndicator->setVisible(!running); });
}

bool MainWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_connectedPanel && event->type() == QEvent::MouseButtonRelease) {
        openPortHealth();
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::openPortHealth()
{
    Application *app = &m_app;
    openScreen<PortHealthWindow>([app] { return new PortHealthWindow(app->state(), app->store().queue()); });
}

void MainWindow::centreOnScreen()
{
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        resize(size().boundedTo(area.size()));
        move(area.left() + (area.width() - width()) / 2, area.top() + (area.height() - height()) / 2);
    }
}

void MainWindow::showScreen(QWidget *screen)
{
    // A screen that chose its own size keeps it, as far as the frame allows.
    const bool sized = screen->testAttribute(Qt::WA_Resized);
    const QSize wanted = screen->size();
    QMdiSubWindow *sub = m_mdi->addSubWindow(screen);
    sub->setAttribute(Qt::WA_DeleteOnClose);
    sub->show();
    if (sized)
        sub->resize(sub->size() + (wanted - screen->size()).expandedTo(QSize(0, 0)));

    // Wholly inside the frame: no larger than the area, moved in from the edges.
    const QRect area = m_mdi->viewport()->rect();
    sub->resize(sub->size().boundedTo(area.size()));
    QPoint at = sub->pos();
    at.setX(std::max(0, std::min(at.x(), area.width() - sub->width())));
    at.setY(std::max(0, std::min(at.y(), area.height() - sub->height())));
    sub->move(at);
}

void MainWindow::showTip(const QString &title, const QString &text, int seconds)
{
    (new TipWindow(title, text, std::chrono::seconds(seconds), this))->show();
}

void MainWindow::openConnectionSettings()
{
    openScreen<ConnectionSettingsWindow>([this] {
        Database &db = m_app.store().db();
        QString site;
        try {
            site = NetworkSettings::load(db).productSite;
        } catch (const DbError &) {
        }
        Application *app = &m_app;
        ConnectionSettings::Hooks hooks{[app] { return app->reinitialize(false); }, SerialPortLayer::availablePorts,
                                        SerialPortLayer::isPresent};
        return new ConnectionSettingsWindow(db, std::move(hooks), m_app.internet().account(), site);
    });
}

void MainWindow::resetSettings()
{
    if (!storeIsOpen())
        return;
    Application *app = &m_app;
    resetToDefault(m_app.store().db(), m_prompter, m_app.state(), [app] { return app->reinitialize(false); });
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    m_mdi->closeAllSubWindows();
    m_app.shutdown();
    event->accept();
}

} // namespace tavsms
