#include "MainWindow.h"

#include "AppInfo.h"
#include "AutoReply.h"
#include "AutoReplyWindow.h"
#include "ConnectionSettings.h"
#include "ConnectionSettingsWindow.h"
#include "GatewayAccount.h"
#include "HttpPushClient.h"
#include "IncomingSmsWindow.h"
#include "InternetServices.h"
#include "MainController.h"
#include "ModemChannel.h"
#include "NetworkSettings.h"
#include "PhoneConsoleWindow.h"
#include "Prompter.h"
#include "SerialPortLayer.h"
#include "SettingsReset.h"
#include "TipWindow.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QScreen>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>

namespace tavsms {

MainWindow::MainWindow(Prompter &prompter, QWidget *parent)
    : QMainWindow(parent)
    , m_prompter(prompter)
    , m_controller(new MainController(prompter, this))
    , m_mdi(new QMdiArea(this))
    , m_modem(std::make_unique<ModemChannel>(*m_controller))
    , m_internet(std::make_unique<InternetServices>(*m_controller))
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

    connect(m_controller, &MainController::fatalError, this, &MainWindow::onFatalError);
    connect(m_modem.get(), &ModemChannel::tipRequested, this,
            [this](const QString &title, const QString &text, int seconds) {
                (new TipWindow(title, text, seconds, this))->show();
            });
    // Every stored incoming message goes to its port's auto-reply rules.
    m_modem->setIncomingHandler([this](const QString &port, const QString &sender, const QString &text) {
        return applyAutoReply(port, sender, text);
    });
}

QCoro::Task<void> MainWindow::applyAutoReply(QString port, QString sender, QString text)
{
    if (!m_autoReply) {
        // Pushes take their turn on the program's one HTTP client.
        m_push = std::make_unique<HttpPushClient>(m_internet->client());
        Store &store = m_controller->store();
        m_autoReply = std::make_unique<AutoReply>(store.db(), store.queue(), m_controller->debugLog(), *m_push);
    }
    co_await m_autoReply->apply(port, sender, text);
}

MainWindow::~MainWindow()
{
    // Screens first (they hold the Internet services' account), then the services.
    delete m_mdi;
    m_autoReply.reset();
    m_push.reset();
    m_internet.reset();
}

QAction *MainWindow::addItem(QMenu *menu, const QString &caption, const QString &name)
{
    QAction *action = menu->addAction(caption);
    action->setObjectName(name);
    return action;
}

void MainWindow::notYetAvailable(const QString &caption)
{
    m_prompter.information(caption, caption + QStringLiteral(" is not available in this version yet."));
}

void MainWindow::buildMenus()
{
    QMenuBar *bar = menuBar();
    auto later = [this](QMenu *menu, const QString &caption, const QString &name) {
        QAction *action = addItem(menu, caption, name);
        connect(action, &QAction::triggered, this, [this, caption] { notYetAvailable(caption); });
        return action;
    };

    QMenu *file = bar->addMenu(QStringLiteral("&File"));
    file->setObjectName(QStringLiteral("mnuFile"));
    connect(addItem(file, QStringLiteral("Configure Modem"), QStringLiteral("mnuFileConfig")), &QAction::triggered,
            this, &MainWindow::openConnectionSettings);
    m_reinitAction = addItem(file, QStringLiteral("Re-Initialize Modems"), QStringLiteral("mnuFileReInit"));
    connect(m_reinitAction, &QAction::triggered, this, [this] { m_controller->reinitialize(); });
    connect(m_controller, &MainController::initializingChanged, m_reinitAction,
            [this](bool running) { m_reinitAction->setEnabled(!running); });
    later(file, QStringLiteral("Import Data"), QStringLiteral("mnuFileImp"));
    QMenu *flow = file->addMenu(QStringLiteral("Manage SMS Flow"));
    flow->setObjectName(QStringLiteral("mnuFileMSF"));
    m_stopAction = addItem(flow, QStringLiteral("Stop Message Sending"), QStringLiteral("mnuFileMSFStop"));
    m_startAction = addItem(flow, QStringLiteral("Start Message Sending"), QStringLiteral("mnuFileMSFStart"));
    m_startAction->setVisible(false);
    connect(m_stopAction, &QAction::triggered, m_controller, &MainController::stopSending);
    connect(m_startAction, &QAction::triggered, m_controller, &MainController::startSending);
    connect(m_controller, &MainController::sendingMenuChanged, this, [this](bool stopVisible) {
        m_stopAction->setVisible(stopVisible);
        m_startAction->setVisible(!stopVisible);
    });
    QAction *exit = addItem(file, QStringLiteral("Exit"), QStringLiteral("mnuFileExit"));
    exit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_X));
    connect(exit, &QAction::triggered, this, &QWidget::close);

    QMenu *msg = bar->addMenu(QStringLiteral("&Messages"));
    msg->setObjectName(QStringLiteral("mnuMsg"));
    later(msg, QStringLiteral("Send Single SMS"), QStringLiteral("mnuMsgSingle"));
    later(msg, QStringLiteral("Send Group SMS"), QStringLiteral("mnuMsgGroup"));
    later(msg, QStringLiteral("Dynamic SMS"), QStringLiteral("mnyMsgDyna"));
    later(msg, QStringLiteral("Dynamic SMS via Excel"), QStringLiteral("mnuMsgDynExcel"));
    msg->addSeparator()->setObjectName(QStringLiteral("mnuDash"));
    connect(addItem(msg, QStringLiteral("Incoming SMS"), QStringLiteral("mnuMsgIncSMS")), &QAction::triggered, this,
            [this] {
                if (m_controller->hasStore())
                    showScreen(new IncomingSmsWindow(m_controller->store().db(), m_prompter));
            });
    QAction *autoReply = addItem(msg, QStringLiteral("Auto-Reply SMS"), QStringLiteral("mnuMsgIncoming"));
    connect(autoReply, &QAction::triggered, this, [this] {
        if (m_controller->hasStore())
            showScreen(new AutoReplyWindow(m_controller->store().db(), m_prompter));
    });
    later(msg, QStringLiteral("Schedule SMS"), QStringLiteral("mnuMsgSch"));
    later(msg, QStringLiteral("Queued Messages"), QStringLiteral("mnuMsgQMsg"));

    QMenu *groups = bar->addMenu(QStringLiteral("Groups"));
    groups->setObjectName(QStringLiteral("mnuGroup"));
    later(groups, QStringLiteral("Manage Groups"), QStringLiteral("mnuMsgCG"))
        ->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_M));
    later(groups, QStringLiteral("Edit Group Members"), QStringLiteral("mnuGroupEGM"));
    groups->addSeparator()->setObjectName(QStringLiteral("mnuGrpDash1"));
    later(groups, QStringLiteral("Backup Groups"), QStringLiteral("mnuGrpBackup"));

    QMenu *templates = bar->addMenu(QStringLiteral("&Templates"));
    templates->setObjectName(QStringLiteral("mnuTemp"));
    later(templates, QStringLiteral("Manage Templates"), QStringLiteral("mnuTempManage"));

    QMenu *internet = bar->addMenu(QStringLiteral("Internet SMS"));
    internet->setObjectName(QStringLiteral("mnuIS"));
    connect(addItem(internet, QStringLiteral("Check Balance"), QStringLiteral("mnuISCheck")), &QAction::triggered, this,
            [this] {
                if (GatewayAccount *account = m_internet->account())
                    account->checkBalance();
            });

    QMenu *reports = bar->addMenu(QStringLiteral("Reports"));
    reports->setObjectName(QStringLiteral("mnuReport"));
    later(reports, QStringLiteral("Misc Reports"), QStringLiteral("mnuReportGM"));
    later(reports, QStringLiteral("Monthly Message Flow"), QStringLiteral("mnuReportMMF"));

    QMenu *help = bar->addMenu(QStringLiteral("&Help"));
    help->setObjectName(QStringLiteral("mnuHelp"));
    QAction *about = addItem(help, QStringLiteral("About Us"), QStringLiteral("mnuHelpAnout"));
    connect(about, &QAction::triggered, this, [this] {
        m_prompter.information(QStringLiteral("About ") + AppInfo::title(),
                               AppInfo::title() + QStringLiteral(" version ") + AppInfo::version()
                                   + QStringLiteral("\r\nBulk SMS Software for GSM and CDMA Mobiles."));
    });
    connect(addItem(help, QStringLiteral("Check for Updates"), QStringLiteral("mnuHelpUpdates")), &QAction::triggered,
            this, [this] {
                if (GatewayAccount *account = m_internet->account())
                    account->checkForUpdates();
            });
    connect(addItem(help, QStringLiteral("Reset to Default"), QStringLiteral("mnuHelpReset")), &QAction::triggered,
            this, &MainWindow::resetSettings);
    QAction *ticket = addItem(help, QStringLiteral("Create Support Ticket"), QStringLiteral("mnuHelpCST"));
    connect(ticket, &QAction::triggered, this, [this] { showScreen(new PhoneConsoleWindow(m_modem->console())); });
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
    AppState &state = m_controller->state();
    m_queuePanel = panel(QStringLiteral("panelQueue"), QStringLiteral("Q: 0"),
                         QStringLiteral("Messages currently in Queue"), 0);
    m_connectedPanel = panel(QStringLiteral("panelConnected"), state.connectedText(),
                             QStringLiteral("Mobile Currently Connected"), 0);
    m_tipPanel = panel(QStringLiteral("panelTips"), state.tipText(), QStringLiteral("Tips and Messages"), 1);

    connect(m_controller, &MainController::queueTextChanged, m_queuePanel, &QLabel::setText);
    connect(&state, &AppState::connectedCountChanged, this, [this] {
        const AppState &s = m_controller->state();
        m_connectedPanel->setText(s.connectedText());
        m_connectedPanel->setToolTip(s.connectedToolTip());
    });
    connect(&state, &AppState::tipTextChanged, m_tipPanel, &QLabel::setText);
}

void MainWindow::centreOnScreen()
{
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        move(area.left() + (area.width() - width()) / 2, area.top() + (area.height() - height()) / 2);
    }
}

void MainWindow::showScreen(QWidget *screen)
{
    for (QMdiSubWindow *sub : m_mdi->subWindowList()) {
        if (sub->widget() && sub->widget()->objectName() == screen->objectName()) {
            delete screen;
            m_mdi->setActiveSubWindow(sub);
            sub->showNormal();
            return;
        }
    }
    // A screen that chose its own size keeps it inside the frame.
    const bool sized = screen->testAttribute(Qt::WA_Resized);
    const QSize wanted = screen->size();
    QMdiSubWindow *sub = m_mdi->addSubWindow(screen);
    sub->setAttribute(Qt::WA_DeleteOnClose);
    sub->show();
    if (sized)
        sub->resize(sub->size() + (wanted - screen->size()).expandedTo(QSize(0, 0)));
}

void MainWindow::openConnectionSettings()
{
    if (!m_controller->hasStore())
        return;
    Database &db = m_controller->store().db();
    QString site;
    try {
        site = NetworkSettings::load(db).productSite;
    } catch (const DbError &) {
    }
    MainController *controller = m_controller;
    auto settings = std::make_unique<ConnectionSettings>(
        db, m_prompter, [controller] { return controller->reinitialize(false); }, SerialPortLayer::availablePorts,
        SerialPortLayer::isPresent);
    showScreen(new ConnectionSettingsWindow(std::move(settings), m_internet->account(), site));
}

void MainWindow::resetSettings()
{
    if (!m_controller->hasStore())
        return;
    MainController *controller = m_controller;
    resetToDefault(controller->store().db(), m_prompter, controller->state(),
                   [controller] { return controller->reinitialize(false); });
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    m_mdi->closeAllSubWindows();
    m_controller->shutdown();
    event->accept();
}

void MainWindow::onFatalError()
{
    // Start-up could not finish: close down; the application ends once the
    // operator has read why.
    m_controller->shutdown();
    hide();
    Q_EMIT fatalError();
}

} // namespace tavsms
