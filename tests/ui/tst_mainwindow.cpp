// The main window offscreen: menus, toolbar, status bar, timers, start/stop, shut-down.
#include "AppInfo.h"
#include "DataDirectory.h"
#include "ListenerPort.h"
#include "MessageBoxes.h"
#include "Store.h"
#include "TestDataDirectory.h"
#include "WindowProgram.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QMenu>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QSignalSpy>
#include <QTest>
#include <QToolBar>

using namespace tavsms;

namespace {

QList<QAction *> itemsOf(QMenu *menu)
{
    return menu->actions();
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

    std::unique_ptr<test::TestDataDirectory> m_dir;
    std::unique_ptr<test::WindowProgram> m_program;
    MainWindow *m_window = nullptr;

    MainController &controller() { return m_program->controller(); }
    QAction *action(const char *name) { return m_program->action(name); }

    void build()
    {
        QVERIFY(DataDirectory::ensureExists().isEmpty());
        test::useFreeListenerPort(DataDirectory::databasePath());
        m_program = std::make_unique<test::WindowProgram>();
        m_window = &m_program->window;
    }
    void startWindow()
    {
        build();
        QCOMPARE(m_program->start(), Application::StartResult::Running);
    }

private Q_SLOTS:
    void init() { m_dir = std::make_unique<test::TestDataDirectory>(); }
    void cleanup()
    {
        m_window = nullptr;
        m_program.reset();
        m_dir.reset();
    }

    void menusHaveTheirCaptionsNamesAndShortcuts()
    {
        startWindow();
        QStringList menus;
        for (QAction *a : m_window->menuBar()->actions())
            menus << a->menu()->objectName() + QLatin1Char('=') + a->text();
        QCOMPARE(menus, (QStringList{"mnuFile=&File", "mnuMsg=&Messages", "mnuGroup=Groups", "mnuTemp=&Templates",
                                     "mnuIS=Internet SMS", "mnuReport=Reports", "mnuHelp=&Help"}));

        auto listing = [](QMenu *menu) {
            QStringList out;
            for (QAction *a : itemsOf(menu)) {
                if (a->isSeparator())
                    out << QStringLiteral("-");
                else if (a->menu())
                    out << a->menu()->objectName() + QLatin1Char('=') + a->text();
                else
                    out << a->objectName() + QLatin1Char('=') + a->text();
            }
            return out;
        };
        auto menu = [this](const char *name) { return m_window->findChild<QMenu *>(QString::fromLatin1(name)); };
        QCOMPARE(listing(menu("mnuFile")),
                 (QStringList{"mnuFileConfig=Configure Modem", "mnuFileReInit=Re-Initialize Modems",
                              "mnuFileImp=Import Data", "mnuFileMSF=Manage SMS Flow", "mnuFileExit=Exit"}));
        QCOMPARE(listing(menu("mnuFileMSF")),
                 (QStringList{"mnuFileMSFStop=Stop Message Sending", "mnuFileMSFStart=Start Message Sending"}));
        QCOMPARE(listing(menu("mnuMsg")),
                 (QStringList{"mnuMsgSingle=Send Single SMS", "mnuMsgGroup=Send Group SMS", "mnyMsgDyna=Dynamic SMS",
                              "mnuMsgDynExcel=Dynamic SMS via Excel", "-", "mnuMsgIncSMS=Incoming SMS",
                              "mnuMsgIncoming=Auto-Reply SMS", "mnuMsgSch=Schedule SMS",
                              "mnuMsgQMsg=Queued Messages"}));
        QCOMPARE(listing(menu("mnuGroup")),
                 (QStringList{"mnuMsgCG=Manage Groups", "mnuGroupEGM=Edit Group Members", "-",
                              "mnuGrpBackup=Backup Groups"}));
        QCOMPARE(listing(menu("mnuTemp")), (QStringList{"mnuTempManage=Manage Templates"}));
        QCOMPARE(listing(menu("mnuIS")), (QStringList{"mnuISCheck=Check Balance"}));
        QCOMPARE(listing(menu("mnuReport")),
                 (QStringList{"mnuReportGM=Misc Reports", "mnuReportMMF=Monthly Message Flow"}));
        QCOMPARE(listing(menu("mnuHelp")),
                 (QStringList{"mnuHelpAnout=About Us", "mnuHelpUpdates=Check for Updates",
                              "mnuHelpReset=Reset to Default", "mnuHelpCST=Create Support Ticket"}));

        QCOMPARE(action("mnuFileExit")->shortcut(), QKeySequence(QStringLiteral("Ctrl+X")));
        QCOMPARE(action("mnuMsgCG")->shortcut(), QKeySequence(QStringLiteral("Ctrl+M")));
        QVERIFY(action("mnuFileMSFStop")->isVisible());
        QVERIFY(!action("mnuFileMSFStart")->isVisible());
        QVERIFY(action("mnuHelpCST")->isVisible());
        QVERIFY(action("mnuHelpCST")->isEnabled());
        QCOMPARE(m_window->windowTitle(), QStringLiteral("TAVSMS 2.0.0"));
        QCOMPARE(QGuiApplication::applicationDisplayName(), QGuiApplication::applicationName()); // no suffix on titles
        QCOMPARE(m_window->objectName(), QStringLiteral("MDIForm1"));
    }

    void toolbarButtonsInOrder()
    {
        startWindow();
        auto *bar = m_window->findChild<QToolBar *>(QStringLiteral("Toolbar1"));
        QVERIFY(bar);
        QStringList buttons;
        for (QAction *a : bar->actions())
            buttons << (a->isSeparator() ? QStringLiteral("-") : a->text() + QLatin1Char('|') + a->toolTip());
        QCOMPARE(buttons, (QStringList{"Single SMS|Send single SMS", "Group SMS|Send group SMS",
                                       "Schedule|Schedule your SMS for later delivery", "-", "Groups|Manage Groups",
                                       "Templates|Manage Templates"}));
        // A toolbar button does what its menu item does.
        bar->actions().at(4)->trigger();
        QCOMPARE(m_window->findChild<QMdiArea *>()->activeSubWindow()->widget()->objectName(),
                 QStringLiteral("frmGroup"));
    }

    void startsWithNoPortsCountingTheQueue()
    {
        // A row stranded in "Sending" by the last run is pending again.
        {
            QVERIFY(DataDirectory::ensureExists().isEmpty());
            Store store(DataDirectory::databasePath());
            const qint64 id = store.queue().addToQueue(QStringLiteral("9876543210"), QStringLiteral("x"), kRouteAuto).id;
            QVERIFY(store.queue().claim(id));
        }
        startWindow();
        QCOMPARE(m_window->queuePanel()->toolTip(), QStringLiteral("Messages currently in Queue"));
        QCOMPARE(m_window->connectedPanel()->text(), QStringLiteral("Connected: 0"));
        QCOMPARE(m_window->connectedPanel()->toolTip(), QStringLiteral("0 phones/modems connected."));
        QCOMPARE(m_window->tipPanel()->text(), QStringLiteral("TAVSMS 2 - Bulk SMS Software for GSM and CDMA Mobiles."));
        QCOMPARE(m_window->tipPanel()->toolTip(), QStringLiteral("Tips and Messages"));
        QVERIFY(m_window->debugLogIndicator()->isHidden());
        QCOMPARE(controller().store().queue().row(1)->status, QStringLiteral("Pending"));

        for (int i = 0; i < kPortCount; ++i) {
            QVERIFY(!controller().portTimer(i).isActive());
            QCOMPARE(controller().portTimer(i).interval(), 1000 + 10 * i);
        }
        QVERIFY(!controller().gatewayTimer().isActive());
        QCOMPARE(controller().gatewayTimer().interval(), 100);
        QVERIFY(controller().queueTimer().isActive());
        QCOMPARE(controller().queueTimer().interval(), 1000);
        QVERIFY2(test::Boxes::open().isEmpty(), qPrintable(test::Boxes::dump()));

        // The count follows an insert on the next tick (ticking faster here).
        controller().queueTimer().setInterval(20);
        QTRY_COMPARE(m_window->queuePanel()->text(), QStringLiteral("Q: 1"));
        QVERIFY(controller().store().queue().addToQueue(QStringLiteral("9876543211"), QStringLiteral("y"), kRouteAuto));
        QTRY_COMPARE(m_window->queuePanel()->text(), QStringLiteral("Q: 2"));
    }

    void activeGatewaySwitchesItsSenderOn()
    {
        {
            QVERIFY(DataDirectory::ensureExists().isEmpty());
            Store store(DataDirectory::databasePath());
            store.db().exec(QStringLiteral("UPDATE config_InternetSMS SET TAVisActive = 1"));
        }
        startWindow();
        QVERIFY(controller().gatewayTimer().isActive());
        QVERIFY(controller().state().internetChannel());
    }

    void stopAndStartToggleSending()
    {
        startWindow();
        QVERIFY(controller().state().sendingRunning());
        action("mnuFileMSFStop")->trigger();
        QVERIFY(!controller().state().sendingRunning());
        QVERIFY(!action("mnuFileMSFStop")->isVisible());
        QVERIFY(action("mnuFileMSFStart")->isVisible());
        // The status bar says so beside its three panels, whatever stopped it.
        QVERIFY(!m_window->stoppedIndicator()->isHidden());
        QCOMPARE(m_window->stoppedIndicator()->text(), QStringLiteral("Sending stopped"));
        // Queued rows stay pending and keep being counted.
        controller().queueTimer().setInterval(20);
        QVERIFY(controller().store().queue().addToQueue(QStringLiteral("9876543210"), QStringLiteral("x"), kRouteAuto));
        QTRY_COMPARE(m_window->queuePanel()->text(), QStringLiteral("Q: 1"));
        action("mnuFileMSFStart")->trigger();
        QVERIFY(controller().state().sendingRunning());
        QVERIFY(action("mnuFileMSFStop")->isVisible());
        QVERIFY(!action("mnuFileMSFStart")->isVisible());
        QVERIFY(m_window->stoppedIndicator()->isHidden());
        controller().state().setSendingRunning(false); // as a reset to defaults does, menu untouched
        QVERIFY(!m_window->stoppedIndicator()->isHidden());
    }

    void reinitializeSaysComplete()
    {
        startWindow();
        action("mnuFileReInit")->trigger();
        QMessageBox *box = test::Boxes::waitFor(QStringLiteral("Reinitialization complete!!"), AppInfo::title());
        QVERIFY(box);
        QCOMPARE(box->icon(), QMessageBox::Information);
        QCOMPARE(box->parentWidget(), m_window);
    }

    void aboutShowsTheVersion()
    {
        startWindow();
        action("mnuHelpAnout")->trigger();
        QVERIFY(test::Boxes::find(QStringLiteral("TAVSMS version ") + AppInfo::version()
                                      + QStringLiteral("\nBulk SMS Software for GSM and CDMA Mobiles."),
                                  QStringLiteral("About TAVSMS")));
    }

    void exitRunsTheClosingSteps()
    {
        startWindow();
        QSignalSpy closing(&controller(), &MainController::closingPorts);
        QSignalSpy aborted(&controller().state(), &AppState::abortWaitsRaised);
        action("mnuFileExit")->trigger();
        QVERIFY(!m_window->isVisible());
        QCOMPARE(closing.count(), 1);
        QCOMPARE(aborted.count(), 1);
        QVERIFY(!controller().state().sendingRunning());
        QVERIFY(controller().state().abortWaits());
        QVERIFY(!controller().queueTimer().isActive());
        QVERIFY(!controller().gatewayTimer().isActive());
        QVERIFY(!controller().debugLog().isOpen());
    }

    // Every menu item of a screen opens that screen, beside the frame and not
    // blocking it, wholly inside it however small the frame.
    void everyScreenOpensFromItsItemWhollyInsideTheFrame()
    {
        startWindow();
        m_window->resize(760, 520); // a small frame: the larger screens must be fitted in
        QTest::qWait(20);
        // The sending screens through their toolbar buttons, the others through their menu items.
        const QList<std::pair<const char *, const char *>> items = {
            {"mnuFileConfig", "frmConfig"},     {"mnuFileImp", "frmImport"},
            {"tbmnuMsgSingle", "frmSendSingle"}, {"tbmnuMsgGroup", "frmSendGroup"},
            {"mnyMsgDyna", "frmDynamicSMS"},    {"mnuMsgDynExcel", "frmDynaExcel"},
            {"mnuMsgIncSMS", "frmIncomingSMS"}, {"mnuMsgIncoming", "frmAutoReply"},
            {"mnuMsgSch", "frmSch"},            {"mnuMsgQMsg", "frmQMsg"},
            {"mnuMsgCG", "frmGroup"},           {"mnuGroupEGM", "frmManageGroups"},
            {"mnuTempManage", "frmTemplate"},   {"mnuReportGM", "frmRptGroups"},
            {"mnuReportMMF", "frmMsgFlow"},     {"mnuHelpCST", "frmIncoming"}};
        auto *mdi = m_window->findChild<QMdiArea *>();
        for (const auto &[item, screen] : items) {
            action(item)->trigger();
            QVERIFY2(mdi->activeSubWindow(), item);
            QCOMPARE(mdi->activeSubWindow()->widget()->objectName(), QString::fromLatin1(screen));
            QVERIFY(!QApplication::activeModalWidget());
        }
        QVERIFY2(test::Boxes::open().isEmpty(), qPrintable(test::Boxes::dump()));
        const QRect area = mdi->viewport()->rect();
        QCOMPARE(mdi->subWindowList().size(), int(items.size()));
        for (QMdiSubWindow *sub : mdi->subWindowList())
            QVERIFY2(area.contains(sub->geometry()),
                     qPrintable(QStringLiteral("%1 at %2,%3 %4x%5 in %6x%7")
                                    .arg(sub->widget()->objectName())
                                    .arg(sub->x()).arg(sub->y()).arg(sub->width()).arg(sub->height())
                                    .arg(area.width()).arg(area.height())));
    }

    void foreignDatabaseIsACriticalErrorAndStaysUntouched()
    {
        QVERIFY(DataDirectory::ensureExists().isEmpty());
        {
            QFile f(DataDirectory::databasePath());
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("this is not a database\n");
        }
        m_program = std::make_unique<test::WindowProgram>();
        QCOMPARE(m_program->start(), Application::StartResult::Failed);
        QCOMPARE(test::Boxes::open().size(), 1);
        QMessageBox *box = test::Boxes::open().first();
        QCOMPARE(box->windowTitle(), QStringLiteral("Critical Error"));
        QCOMPARE(box->icon(), QMessageBox::Critical);
        QVERIFY2(box->text().startsWith(QStringLiteral("Database\n")), qPrintable(box->text()));
        QFile f(DataDirectory::databasePath());
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("this is not a database\n"));
    }

    // debug.txt takes no lines: the program runs on, no box stands in the
    // way, and the status bar says why until lines go in again.
    void anUnwritableDebugLogShowsInTheStatusBar()
    {
        QVERIFY(DataDirectory::ensureExists().isEmpty());
        const QString log = DataDirectory::debugLogPath();
        QVERIFY(QDir().mkdir(log));
        startWindow();
        QLabel *indicator = m_window->debugLogIndicator();
        QVERIFY(!indicator->isHidden());
        QCOMPARE(indicator->text(), QStringLiteral("The debug log %1 cannot be written: Is a directory").arg(log));
        QVERIFY2(test::Boxes::open().isEmpty(), qPrintable(test::Boxes::dump()));

        QVERIFY(QDir().rmdir(log));
        controller().debugLog().writeEvent(QStringLiteral(" Activating COM1 - "));
        QVERIFY(indicator->isHidden());
    }

    void secondInstanceInTheSameDirectoryIsRefused()
    {
        startWindow();
        test::WindowProgram other;
        QCOMPARE(other.start(), Application::StartResult::AlreadyRunning);
        QMessageBox *box = test::Boxes::find(QStringLiteral("Application Already Running"),
                                             QStringLiteral("Application Error"));
        QVERIFY2(box, qPrintable(test::Boxes::dump()));
        QCOMPARE(box->icon(), QMessageBox::Critical);
        QVERIFY(!other.app.hasStore()); // never touched the database
        QVERIFY(controller().queueTimer().isActive());
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
