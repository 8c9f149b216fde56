// frmConfig offscreen, and the main window's Internet and reset menu items.
#include "AllowedNetworks.h"
#include "ConnectionSettingsWindow.h"
#include "DataDirectory.h"
#include "FakeGateway.h"
#include "GatewayAccount.h"
#include "HttpClient.h"
#include "InternetServices.h"
#include "ListenerPort.h"
#include "MessageBoxes.h"
#include "NetworkSettings.h"
#include "RecordingPrompter.h"
#include "Store.h"
#include "TestDataDirectory.h"
#include "WindowProgram.h"

#include <QAbstractButton>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QSpinBox>
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
        test::Boxes::dismissAll();
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
        ConnectionSettings::Hooks hooks{[&reinits]() -> QCoro::Task<void> {
                                            ++reinits;
                                            co_return;
                                        },
                                        [] { return QStringList{QStringLiteral("ttyS0")}; },
                                        [](const QString &) { return false; }};
        ConnectionSettingsWindow screen(store.db(), std::move(hooks), &account, QStringLiteral("www.example.com"));
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
        QVERIFY2(test::Boxes::open().isEmpty(), qPrintable(test::Boxes::dump())); // stored, not ticked: no notice
        QCOMPARE(com2.status->text(),
                 QStringLiteral("Caution: We are not able to find hardware port no COM9 on this system."));

        // Another type, Apply: call blocking goes, on screen and in the row.
        com2.modemType->setCurrentText(QStringLiteral("GSM Mobile - Other"));
        com2.apply->click();
        QVERIFY(!com2.blockIncoming->isChecked());
        QCOMPARE(store.db().scalar(QStringLiteral("SELECT blockIncoming FROM config_ports WHERE softwarePortNo = 'COM2'"))
                     .toInt(),
                 0);

        QVERIFY(test::Boxes::find(QStringLiteral("Port added/updated successfully."), QStringLiteral("Success")));
        test::Boxes::dismissAll();

        // Ticking call blocking anywhere brings the notice, over this screen,
        // however it is ticked (here the state itself, as a screen reader does).
        com1.active->setChecked(true);
        com1.blockIncoming->setChecked(true);
        QMessageBox *notice = test::Boxes::find(
            QStringLiteral("Block incoming call feature is not available with CDMA mobiles/modems."));
        QVERIFY(notice);
        QCOMPARE(notice->parentWidget(), &screen);
        test::Boxes::dismissAll();

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
        QMessageBox *applied = test::Boxes::waitFor(QStringLiteral("Settings has been changed."), QStringLiteral("Success!"));
        QVERIFY(applied);
        QCOMPARE(applied->parentWidget(), &screen); // over the screen that asked
        test::Boxes::dismissAll();
        QCOMPARE(m_gateway->requests().first().query.value(QStringLiteral("pwd")), QStringLiteral("stored"));
        QCOMPARE(screen.findChild<QLineEdit *>(QStringLiteral("txtCdmaId"))->text(), QStringLiteral("C1"));

        // "Parallel requests": the stored count, 1 to 32, saved with the rest.
        auto *parallel = screen.findChild<QSpinBox *>(QStringLiteral("spnParallelRequests"));
        QCOMPARE(parallel->value(), 8);
        QCOMPARE(parallel->minimum(), 1);
        QCOMPARE(parallel->maximum(), 32);
        parallel->setValue(5);

        // Update Settings saves the ticks and re-initialises.
        screen.findChild<QPushButton *>(QStringLiteral("cmdUpdate"))->click();
        QTRY_COMPARE(reinits, 1);
        QVERIFY(test::Boxes::find(QStringLiteral("COM Ports Updated"), QStringLiteral("Success")));
        test::Boxes::dismissAll();
        QCOMPARE(store.db().scalar(QStringLiteral("SELECT portActive FROM config_ports WHERE softwarePortNo = 'COM1'"))
                     .toInt(),
                 1);
        QCOMPARE(NetworkSettings::load(store.db()).parallelRequests, 5);

        // Close: Cancel keeps the screen, OK closes it.
        const QString question = QStringLiteral("If, you have made any changes then please press ''Update Settings'' "
                                                "before exit.\nTo update the settings press ''Cancel'' or else "
                                                "''OK'' to continue.");
        auto *close = screen.findChild<QPushButton *>(QStringLiteral("cmdClose"));
        close->click();
        QMessageBox *box = test::Boxes::waitFor(question);
        QVERIFY2(box, qPrintable(test::Boxes::dump()));
        QCOMPARE(box->icon(), QMessageBox::Question);
        close->click(); // a second click while the question is open changes nothing
        QCOMPARE(test::Boxes::open().size(), 1);
        test::Boxes::press(box, QMessageBox::Cancel);
        QTest::qWait(50);
        QVERIFY(screen.isVisible());
        close->click();
        test::Boxes::press(test::Boxes::waitFor(question), QMessageBox::Ok);
        QTRY_VERIFY(!screen.isVisible());
    }

    // The Internet tab shows where the listener listens and whom it serves;
    // "Update Settings" refuses an entry that does not parse, naming it.
    void listenerFieldsAreShownAndSavedWithTheSettings()
    {
        Store store(m_dir->root() + QStringLiteral("/s.mdb"));
        int reinits = 0;
        ConnectionSettings::Hooks hooks{[&reinits]() -> QCoro::Task<void> {
                                            ++reinits;
                                            co_return;
                                        },
                                        [] { return QStringList{}; }, [](const QString &) { return false; }};
        ConnectionSettingsWindow screen(store.db(), std::move(hooks), nullptr, QStringLiteral("www.example.com"));
        screen.show();
        auto *address = screen.findChild<QLineEdit *>(QStringLiteral("txtListenAddress"));
        auto *networks = screen.findChild<QLineEdit *>(QStringLiteral("txtAllowedNetworks"));
        QVERIFY(address && networks);
        QCOMPARE(address->text(), QString());
        QCOMPARE(networks->text(), AllowedNetworks::kDefault);
        QVERIFY(address->isEnabled() && networks->isEnabled()); // whether or not Internet SMS is on

        auto *update = screen.findChild<QPushButton *>(QStringLiteral("cmdUpdate"));
        networks->setText(QStringLiteral("127.0.0.0/8, 10.0.0.0/33"));
        update->click();
        QMessageBox *error = test::Boxes::waitFor(QStringLiteral("Allowed networks: '10.0.0.0/33' is not a network."),
                                                  QStringLiteral("Error"));
        QVERIFY2(error, qPrintable(test::Boxes::dump()));
        QCOMPARE(error->parentWidget(), &screen);
        test::Boxes::dismissAll();
        QCOMPARE(reinits, 0);

        address->setText(QStringLiteral("127.0.0.2"));
        networks->setText(QStringLiteral("127.0.0.0/8"));
        update->click();
        QTRY_COMPARE(reinits, 1);
        test::Boxes::dismissAll();
        QCOMPARE(store.db().scalar(QStringLiteral("SELECT listenAddress FROM config_network")).toString(),
                 QStringLiteral("127.0.0.2"));
        QCOMPARE(store.db().scalar(QStringLiteral("SELECT allowedNetworks FROM config_network")).toString(),
                 QStringLiteral("127.0.0.0/8"));
    }

    void pduChoiceIsForGsmTypesOnly()
    {
        Store store(m_dir->root() + QStringLiteral("/s.mdb"));
        store.db().exec(QStringLiteral("UPDATE config_ports SET portActive = 1, systemPortNo = 'ttyS0', "
                                       "deviceType = 'GSM Modem - Other', mobileOperator = 'Jio', pduMode = 1 "
                                       "WHERE softwarePortNo = 'COM3'"));
        ConnectionSettings::Hooks hooks{[]() -> QCoro::Task<void> { co_return; },
                                        [] { return QStringList{QStringLiteral("ttyS0")}; },
                                        [](const QString &) { return true; }};
        ConnectionSettingsWindow screen(store.db(), std::move(hooks), nullptr, QStringLiteral("www.example.com"));
        screen.show();
        const auto pduColumn = [&store] {
            return store.db().scalar(QStringLiteral("SELECT pduMode FROM config_ports WHERE softwarePortNo = 'COM3'")).toInt();
        };

        // Off by default, and off with the rest of an inactive tab.
        const auto &com1 = screen.portTab(0);
        QCOMPARE(com1.pduMode->text(), QStringLiteral("Unicode and long messages (PDU mode)"));
        QVERIFY(!com1.pduMode->isChecked() && !com1.pduMode->isEnabled());
        com1.active->setChecked(true);
        QCOMPARE(com1.modemType->currentText(), kCdmaDeviceType); // the first type in the list
        QVERIFY(!com1.pduMode->isEnabled());
        com1.modemType->setCurrentText(QStringLiteral("GSM Mobile - Nokia"));
        QVERIFY(com1.pduMode->isEnabled() && !com1.pduMode->isChecked());

        // Loaded ticked; a CDMA type unticks and disables it, and Apply stores it off.
        const auto &com3 = screen.portTab(2);
        QVERIFY(com3.pduMode->isChecked() && com3.pduMode->isEnabled());
        com3.modemType->setCurrentText(kCdmaDeviceType);
        QVERIFY(!com3.pduMode->isChecked() && !com3.pduMode->isEnabled());
        com3.apply->click();
        QVERIFY(test::Boxes::find(QStringLiteral("Port added/updated successfully."), QStringLiteral("Success")));
        test::Boxes::dismissAll();
        QCOMPARE(pduColumn(), 0);

        // Back to a GSM type: it can be ticked again, and Apply stores it.
        com3.modemType->setCurrentText(QStringLiteral("GSM Modem - TAV"));
        QVERIFY(com3.pduMode->isEnabled());
        com3.pduMode->click();
        com3.apply->click();
        test::Boxes::dismissAll();
        QCOMPARE(pduColumn(), 1);
    }

    void mainWindowMenusReachTheGatewayAndTheSettings()
    {
        QVERIFY(DataDirectory::ensureExists().isEmpty());
        test::useFreeListenerPort(DataDirectory::databasePath());
        {
            Store store(DataDirectory::databasePath());
            pointGatewayAt(store.db());
        }
        test::WindowProgram program;
        MainWindow &window = program.window;
        QCOMPARE(program.start(), Application::StartResult::Running);
        QVERIFY(program.app.internet().listener().isListening());
        QVERIFY(program.app.internet().listener().port() != 8081);

        m_gateway->replyWith("Balance: 99");
        program.action("mnuISCheck")->trigger();
        QVERIFY(test::Boxes::waitFor(QStringLiteral("Balance: 99"), QStringLiteral("Balance Report")));
        test::Boxes::dismissAll();

        program.action("mnuFileConfig")->trigger();
        program.action("mnuFileConfig")->trigger(); // brought to the front, not opened twice
        auto *mdi = window.findChild<QMdiArea *>();
        QCOMPARE(mdi->subWindowList().size(), 1);
        QCOMPARE(mdi->subWindowList().first()->widget()->objectName(), QStringLiteral("frmConfig"));

        // Reset to Default: a warning question offering Cancel; OK resets.
        program.controller().store().db().exec(
            QStringLiteral("UPDATE config_ports SET portActive = 1, mobileOperator = 'Airtel' WHERE softwarePortNo = 'COM3'"));
        program.action("mnuHelpReset")->trigger();
        QMessageBox *question = test::Boxes::waitFor(QStringLiteral("Are you sure to reset all settings?"),
                                                     QStringLiteral("Reset Settings?"));
        QVERIFY(question);
        QCOMPARE(question->icon(), QMessageBox::Warning);
        QCOMPARE(static_cast<QAbstractButton *>(question->defaultButton()), question->button(QMessageBox::Cancel));
        test::Boxes::press(question, QMessageBox::Ok);
        QVERIFY(test::Boxes::waitFor(QStringLiteral("Settings has been reset."), QStringLiteral("Reset Settings?")));
        QTRY_VERIFY(!program.controller().isInitializing());
        QCOMPARE(program.controller().store().db()
                     .scalar(QStringLiteral("SELECT count(*) FROM config_ports WHERE portActive = 1 OR mobileOperator <> ''"))
                     .toInt(),
                 0);
        QVERIFY(!program.controller().state().sendingRunning());
        QVERIFY(action(window, "mnuFileMSFStop")->isVisible()); // the menu items stay as they were
        QVERIFY(!test::Boxes::find(QStringLiteral("Reinitialization complete!!")));
        QVERIFY(!program.controller().gatewayTimer().isActive());
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
        test::WindowProgram program;
        QCOMPARE(program.start(), Application::StartResult::Running);
        QVERIFY(program.controller().gatewayTimer().isActive());
        QTRY_COMPARE(program.controller().store().queue().row(1)->status, QStringLiteral("Delivered"));
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
        test::WindowProgram program;
        QCOMPARE(program.start(), Application::StartResult::Failed);
        QCOMPARE(test::Boxes::open().size(), 1);
        QMessageBox *box = test::Boxes::open().first();
        QCOMPARE(box->windowTitle(), QStringLiteral("Critical Error"));
        QVERIFY2(box->text().startsWith(QStringLiteral("HTTP Listener\n")), qPrintable(box->text()));
    }

private:
    static QAction *action(QWidget &w, const char *name) { return w.findChild<QAction *>(QString::fromLatin1(name)); }
};

QTEST_MAIN(TestSettingsScreen)
#include "tst_settingsscreen.moc"
