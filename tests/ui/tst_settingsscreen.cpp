// frmConfig offscreen, and the main window's Internet and reset menu items.
#include "ConnectionSettingsWindow.h"
#include "DataDirectory.h"
#include "FakeGateway.h"
#include "GatewayAccount.h"
#include "HttpClient.h"
#include "InternetServices.h"
#include "ListenerPort.h"
#include "MainController.h"
#include "MainWindow.h"
#include "RecordingPrompter.h"
#include "Store.h"
#include "TestDataDirectory.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QTabWidget>
#include <QTcpServer>
#include <QTest>

using namespace tavsms;

class TestSettingsScreen : public QObject
{
    Q_OBJECT

    std::unique_ptr<test::TestDataDirectory> m_dir;
    std::unique_ptr<test::RecordingPrompter> m_prompter;
    std::unique_ptr<test::FakeGateway> m_gateway;

    void pointGatewayAt(Database &db)
    {
        db.exec(QStringLiteral("UPDATE config_network SET gatewayHost = ?, updateHost = ?"),
                {m_gateway->host(), m_gateway->host()});
    }

private Q_SLOTS:
    void init()
    {
        m_dir = std::make_unique<test::TestDataDirectory>();
        m_prompter = std::make_unique<test::RecordingPrompter>();
        m_gateway = std::make_unique<test::FakeGateway>();
        QVERIFY(m_gateway->start());
    }
    void cleanup()
    {
        m_gateway.reset();
        m_prompter.reset();
        m_dir.reset();
    }

    void screenFollowsItsEnableRulesAndSavesThroughTheLogic()
    {
        Store store(m_dir->root() + QStringLiteral("/s.mdb"));
        pointGatewayAt(store.db());
        store.db().exec(QStringLiteral("UPDATE config_ports SET portActive = 1, systemPortNo = 'COM9', "
                                       "deviceType = 'GSM Modem - TAV', mobileOperator = 'Airtel', blockIncoming = 1 "
                                       "WHERE softwarePortNo = 'COM2'"));
        store.db().exec(QStringLiteral("UPDATE config_InternetSMS SET TAVusername = 'me', TAVpassword = 'Stored'"));
        HttpClient client;
        GatewayAccount account(store.db(), client, *m_prompter);
        int reinits = 0;
        auto settings = std::make_unique<ConnectionSettings>(
            store.db(), *m_prompter,
            [&reinits]() -> QCoro::Task<void> {
                ++reinits;
                co_return;
            },
            [] { return QStringList{QStringLiteral("ttyS0")}; }, [](const QString &) { return false; });
        ConnectionSettingsWindow screen(std::move(settings), &account, QStringLiteral("www.example.com"));
        screen.show();

        QCOMPARE(screen.objectName(), QStringLiteral("frmConfig"));
        QCOMPARE(screen.windowTitle(), QStringLiteral("Modem Settings"));
        QStringList tabs;
        for (int i = 0; i < screen.tabs()->count(); ++i)
            tabs << screen.tabs()->tabText(i);
        QCOMPARE(tabs, (QStringList{"Port 1", "Port 2", "Port 3", "Port 4", "Port 5", "Internet SMS"}));

        // COM1 inactive: its controls are off until "Activate Software Port" is ticked.
        const auto &com1 = screen.portTab(0);
        QVERIFY(!com1.active->isChecked());
        QVERIFY(!com1.mobileOperator->isEnabled() && !com1.apply->isEnabled() && !com1.systemPort->isEnabled());
        com1.active->setChecked(true);
        QVERIFY(com1.mobileOperator->isEnabled() && com1.apply->isEnabled() && com1.blockIncoming->isEnabled());
        com1.active->setChecked(false);
        QVERIFY(!com1.modemType->isEnabled());

        // COM2 loaded, its absent port kept with the caution line.
        const auto &com2 = screen.portTab(1);
        QVERIFY(com2.active->isChecked() && com2.apply->isEnabled());
        QCOMPARE(com2.mobileOperator->text(), QStringLiteral("Airtel"));
        QCOMPARE(com2.systemPort->currentText(), QStringLiteral("COM9"));
        QCOMPARE(com2.modemType->currentText(), QStringLiteral("GSM Modem - TAV"));
        QVERIFY(com2.blockIncoming->isChecked());
        QCOMPARE(com2.status->text(),
                 QStringLiteral("Caution: We are not able to find hardware port no COM9 on this system."));

        // Another type, Apply: call blocking goes, on screen and in the row.
        com2.modemType->setCurrentText(QStringLiteral("GSM Mobile - Other"));
        com2.apply->click();
        QVERIFY(!com2.blockIncoming->isChecked());
        QCOMPARE(store.db().scalar(QStringLiteral("SELECT blockIncoming FROM config_ports WHERE softwarePortNo = 'COM2'"))
                     .toInt(),
                 0);

        // Ticking call blocking anywhere brings the notice.
        m_prompter->clear();
        com1.active->setChecked(true);
        com1.blockIncoming->click();
        QCOMPARE(m_prompter->entries().last().text,
                 QStringLiteral("Block incoming call feature is not available with CDMA mobiles/modems."));

        // Internet tab: disabled until activated; the password box holds a placeholder.
        auto *user = screen.findChild<QLineEdit *>(QStringLiteral("txtUsername"));
        auto *password = screen.findChild<QLineEdit *>(QStringLiteral("txtPassword"));
        auto *apply = screen.findChild<QPushButton *>(QStringLiteral("cmdInternetApply"));
        auto *gsm = screen.findChild<QLineEdit *>(QStringLiteral("txtGsmId"));
        QVERIFY(!user->isEnabled() && !password->isEnabled() && !apply->isEnabled());
        QCOMPARE(password->text().size(), 9);
        QVERIFY(password->text() != QLatin1String("Stored"));
        QVERIFY(gsm->isReadOnly());
        for (QCheckBox *box : screen.findChildren<QCheckBox *>())
            if (box->text() == QLatin1String("Activate Internet SMS"))
                box->setChecked(true);
        QVERIFY(user->isEnabled() && password->isEnabled() && apply->isEnabled());

        // Apply with the placeholder untouched logs in with the stored password.
        m_gateway->replyWith("ids<br>CDMA:C1<br>GSM:G1");
        apply->click();
        QTRY_COMPARE(gsm->text(), QStringLiteral("G1"));
        QCOMPARE(m_gateway->requests().first().query.value(QStringLiteral("pwd")), QStringLiteral("stored"));
        QCOMPARE(screen.findChild<QLineEdit *>(QStringLiteral("txtCdmaId"))->text(), QStringLiteral("C1"));

        // Update Settings saves the ticks and re-initialises.
        screen.findChild<QPushButton *>(QStringLiteral("cmdUpdate"))->click();
        QTRY_COMPARE(reinits, 1);
        QCOMPARE(store.db().scalar(QStringLiteral("SELECT portActive FROM config_ports WHERE softwarePortNo = 'COM1'"))
                     .toInt(),
                 1);

        // Close: Cancel keeps the screen, OK closes it.
        m_prompter->queueAnswer(false);
        screen.findChild<QPushButton *>(QStringLiteral("cmdClose"))->click();
        QTest::qWait(20);
        QVERIFY(screen.isVisible());
        m_prompter->queueAnswer(true);
        screen.findChild<QPushButton *>(QStringLiteral("cmdClose"))->click();
        QTRY_VERIFY(!screen.isVisible());
    }

    void mainWindowMenusReachTheGatewayAndTheSettings()
    {
        QVERIFY(DataDirectory::ensureExists().isEmpty());
        test::useFreeListenerPort(DataDirectory::databasePath());
        {
            Store store(DataDirectory::databasePath());
            pointGatewayAt(store.db());
        }
        MainWindow window(*m_prompter);
        QCOMPARE(window.controller().start(), MainController::StartResult::Running);
        window.show();
        QVERIFY(window.internet().listener().isListening());
        QVERIFY(window.internet().listener().port() != 8081);

        m_gateway->replyWith("Balance: 99");
        window.findChild<QAction *>(QStringLiteral("mnuISCheck"))->trigger();
        QTRY_VERIFY(m_prompter->contains(QStringLiteral("Balance Report"), QStringLiteral("Balance: 99")));

        window.findChild<QAction *>(QStringLiteral("mnuFileConfig"))->trigger();
        auto *mdi = window.findChild<QMdiArea *>();
        QCOMPARE(mdi->subWindowList().size(), 1);
        QCOMPARE(mdi->subWindowList().first()->widget()->objectName(), QStringLiteral("frmConfig"));

        m_prompter->clear();
        m_prompter->queueAnswer(true);
        window.findChild<QAction *>(QStringLiteral("mnuHelpReset"))->trigger();
        QTRY_VERIFY(m_prompter->contains(QStringLiteral("Reset Settings?"), QStringLiteral("Settings has been reset.")));
        QTRY_VERIFY(!window.controller().isInitializing());
        QVERIFY(!window.controller().state().sendingRunning());
        QVERIFY(action(window, "mnuFileMSFStop")->isVisible()); // the menu items stay as they were
        QVERIFY(!m_prompter->contains(QStringLiteral("TAVSMS"), QStringLiteral("Reinitialization complete!!")));
        QVERIFY(!window.controller().gatewayTimer().isActive());
    }

    void startedProgramSendsThroughTheGatewayAndListens()
    {
        QVERIFY(DataDirectory::ensureExists().isEmpty());
        test::useFreeListenerPort(DataDirectory::databasePath());
        {
            Store store(DataDirectory::databasePath());
            pointGatewayAt(store.db());
            store.db().exec(QStringLiteral("UPDATE config_InternetSMS SET TAVisActive = 1"));
            QVERIFY(store.queue().addToQueue(QStringLiteral("9876543210"), QStringLiteral("hi"), kRouteGateway));
        }
        MainWindow window(*m_prompter);
        QCOMPARE(window.controller().start(), MainController::StartResult::Running);
        QVERIFY(window.controller().gatewayTimer().isActive());
        QTRY_COMPARE(window.controller().store().queue().row(1)->status, QStringLiteral("Delivered"));
        QCOMPARE(m_gateway->requests().first().query.value(QStringLiteral("messageid")), QStringLiteral("hi"));
    }

    void listenerThatCannotStartStopsTheProgram()
    {
        QTcpServer taken;
        QVERIFY(taken.listen(QHostAddress::Any, 0));
        QVERIFY(DataDirectory::ensureExists().isEmpty());
        {
            Store store(DataDirectory::databasePath());
            store.db().exec(QStringLiteral("UPDATE config_network SET listenerPort = ?"), {int(taken.serverPort())});
        }
        MainWindow window(*m_prompter);
        QCOMPARE(window.controller().start(), MainController::StartResult::Failed);
        const auto e = m_prompter->entries().first();
        QCOMPARE(e.title, QStringLiteral("Critical Error"));
        QVERIFY2(e.text.startsWith(QStringLiteral("HTTP Listener\r\n")), qPrintable(e.text));
    }

private:
    static QAction *action(QWidget &w, const char *name) { return w.findChild<QAction *>(QString::fromLatin1(name)); }
};

QTEST_MAIN(TestSettingsScreen)
#include "tst_settingsscreen.moc"
