// The main window offscreen: menus, toolbar, status bar, timers, start/stop, shut-down.
#include "AppInfo.h"
#include "DataDirectory.h"
#include "ListenerPort.h"
#include "MainController.h"
#include "MainWindow.h"
#include "RecordingPrompter.h"
#include "TestDataDirectory.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMenu>
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
    std::unique_ptr<test::RecordingPrompter> m_prompter;
    std::unique_ptr<MainWindow> m_window;

    MainController &controller() { return m_window->controller(); }
    QAction *action(const char *name) { return m_window->findChild<QAction *>(QString::fromLatin1(name)); }

    void startWindow()
    {
        QVERIFY(DataDirectory::ensureExists().isEmpty());
        test::useFreeListenerPort(DataDirectory::databasePath());
        m_window = std::make_unique<MainWindow>(*m_prompter);
        QCOMPARE(controller().start(), MainController::StartResult::Running);
        m_window->show();
    }

private Q_SLOTS:
    void init()
    {
        m_dir = std::make_unique<test::TestDataDirectory>();
        m_prompter = std::make_unique<test::RecordingPrompter>();
    }
    void cleanup()
    {
        m_window.reset();
        m_prompter.reset();
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
        QCOMPARE(m_window->windowTitle(), AppInfo::title() + QLatin1Char(' ') + AppInfo::version());
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
        QCOMPARE(m_prompter->entries().last().title, QStringLiteral("Manage Groups"));
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
        QCOMPARE(controller().store().queue().row(1)->status, QStringLiteral("Pending"));

        for (int i = 0; i < kPortCount; ++i) {
            QVERIFY(!controller().portTimer(i).isActive());
            QCOMPARE(controller().portTimer(i).interval(), 1000 + 10 * i);
        }
        QVERIFY(!controller().gatewayTimer().isActive());
        QCOMPARE(controller().gatewayTimer().interval(), 100);
        QVERIFY(controller().queueTimer().isActive());
        QCOMPARE(controller().queueTimer().interval(), 1000);
        QVERIFY(m_prompter->entries().isEmpty());

        // The count follows an insert within two ticks.
        QTRY_COMPARE_WITH_TIMEOUT(m_window->queuePanel()->text(), QStringLiteral("Q: 1"), 2500);
        QVERIFY(controller().store().queue().addToQueue(QStringLiteral("9876543211"), QStringLiteral("y"), kRouteAuto));
        QTRY_COMPARE_WITH_TIMEOUT(m_window->queuePanel()->text(), QStringLiteral("Q: 2"), 2500);
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
        // Queued rows stay pending and keep being counted.
        QVERIFY(controller().store().queue().addToQueue(QStringLiteral("9876543210"), QStringLiteral("x"), kRouteAuto));
        QTRY_COMPARE_WITH_TIMEOUT(m_window->queuePanel()->text(), QStringLiteral("Q: 1"), 2500);
        action("mnuFileMSFStart")->trigger();
        QVERIFY(controller().state().sendingRunning());
        QVERIFY(action("mnuFileMSFStop")->isVisible());
        QVERIFY(!action("mnuFileMSFStart")->isVisible());
    }

    void reinitializeSaysComplete()
    {
        startWindow();
        action("mnuFileReInit")->trigger();
        QTRY_VERIFY(m_prompter->contains(AppInfo::title(), QStringLiteral("Reinitialization complete!!")));
        QCOMPARE(m_prompter->entries().last().icon, Prompter::Icon::Information);
    }

    void laterScreensSaySoAndAboutShowsTheVersion()
    {
        startWindow();
        action("mnuMsgSingle")->trigger();
        QCOMPARE(m_prompter->entries().last().title, QStringLiteral("Send Single SMS"));
        QCOMPARE(m_prompter->entries().last().icon, Prompter::Icon::Information);
        action("mnuHelpAnout")->trigger();
        QVERIFY(m_prompter->entries().last().text.contains(AppInfo::version()));
        QVERIFY(m_prompter->entries().last().text.contains(AppInfo::title()));
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

    void foreignDatabaseIsACriticalErrorAndStaysUntouched()
    {
        QVERIFY(DataDirectory::ensureExists().isEmpty());
        {
            QFile f(DataDirectory::databasePath());
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("this is not a database\n");
        }
        m_window = std::make_unique<MainWindow>(*m_prompter);
        QCOMPARE(controller().start(), MainController::StartResult::Failed);
        QCOMPARE(m_prompter->count(), 1);
        const auto entry = m_prompter->entries().first();
        QCOMPARE(entry.title, QStringLiteral("Critical Error"));
        QCOMPARE(entry.icon, Prompter::Icon::Critical);
        QVERIFY2(entry.text.startsWith(QStringLiteral("Database\r\n")), qPrintable(entry.text));
        QFile f(DataDirectory::databasePath());
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("this is not a database\n"));
    }

    void secondInstanceInTheSameDirectoryIsRefused()
    {
        startWindow();
        test::RecordingPrompter second;
        MainWindow other(second);
        QCOMPARE(other.controller().start(), MainController::StartResult::AlreadyRunning);
        QVERIFY(second.contains(QStringLiteral("Application Error"), QStringLiteral("Application Already Running")));
        QCOMPARE(second.entries().first().icon, Prompter::Icon::Critical);
        QVERIFY(!other.controller().hasStore()); // never touched the database
        QVERIFY(controller().queueTimer().isActive());
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
