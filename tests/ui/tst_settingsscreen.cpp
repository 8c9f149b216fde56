// "Modem Settings" (frmConfig) through its controls: the enable rules of its
// tabs, what each button hands to the logic, and its boxes over it.
#include "AllowedNetworks.h"
#include "ConnectionSettingsWindow.h"
#include "FakeGateway.h"
#include "GatewayAccount.h"
#include "HttpClient.h"
#include "NetworkSettings.h"
#include "RecordingPrompter.h"
#include "WindowTest.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>

using namespace tavsms;
using test::Controls::child;

class TestSettingsScreen : public test::WindowTest
{
    Q_OBJECT

    int m_reinits = 0;

    // The screen on the test's store; re-initialisation only counted, one
    // serial port on the machine.
    std::unique_ptr<ConnectionSettingsWindow> makeScreen(GatewayAccount *account = nullptr)
    {
        m_reinits = 0;
        ConnectionSettings::Hooks hooks{[this]() -> QCoro::Task<void> {
                                            ++m_reinits;
                                            co_return;
                                        },
                                        [] { return QStringList{QStringLiteral("ttyS0")}; },
                                        [](const QString &port) { return port == QLatin1String("ttyS0"); }};
        auto screen = std::make_unique<ConnectionSettingsWindow>(db(), std::move(hooks), account,
                                                                 QStringLiteral("www.example.com"));
        screen->show();
        return screen;
    }
    int portColumn(const char *column, const char *port)
    {
        return db().scalar(QStringLiteral("SELECT %1 FROM config_ports WHERE softwarePortNo = ?")
                               .arg(QLatin1String(column)),
                           {QString::fromLatin1(port)})
            .toInt();
    }

private Q_SLOTS:
    void portTabsFollowTheirTicksAndApply()
    {
        db().exec(QStringLiteral("UPDATE config_ports SET portActive = 1, systemPortNo = 'COM9', "
                                 "deviceType = 'GSM Modem - TAV', mobileOperator = 'Airtel', blockIncoming = 1 "
                                 "WHERE softwarePortNo = 'COM2'"));
        auto screen = makeScreen();

        // An inactive tab's controls are off until "Activate Software Port" is ticked.
        const auto &com1 = screen->portTab(0);
        QVERIFY(!com1.active->isChecked());
        QVERIFY(!com1.mobileOperator->isEnabled() && !com1.apply->isEnabled() && !com1.systemPort->isEnabled());
        com1.active->setChecked(true);
        QVERIFY(com1.mobileOperator->isEnabled() && com1.apply->isEnabled() && com1.blockIncoming->isEnabled());
        com1.active->setChecked(false);
        QVERIFY(!com1.modemType->isEnabled());

        // A stored tab as it was saved, its missing port kept with the caution line.
        const auto &com2 = screen->portTab(1);
        QVERIFY(com2.active->isChecked() && com2.apply->isEnabled() && com2.blockIncoming->isChecked());
        QCOMPARE(QStringList({com2.mobileOperator->text(), com2.systemPort->currentText(), com2.modemType->currentText()}),
                 QStringList({"Airtel", "COM9", "GSM Modem - TAV"}));
        QVERIFY2(test::Boxes::open().isEmpty(), qPrintable(test::Boxes::dump())); // stored, not ticked: no notice
        QCOMPARE(com2.status->text(),
                 QStringLiteral("Caution: We are not able to find hardware port no COM9 on this system."));

        // Apply with a type that cannot block calls: the tick goes.
        com2.modemType->setCurrentText(QStringLiteral("GSM Mobile - Other"));
        com2.apply->click();
        QCOMPARE(answer(QStringLiteral("Port added/updated successfully.")), screen.get());
        QVERIFY(!com2.blockIncoming->isChecked());
        QCOMPARE(portColumn("blockIncoming", "COM2"), 0);

        // Ticking call blocking, however it is ticked, brings the notice.
        com1.active->setChecked(true);
        com1.blockIncoming->setChecked(true);
        QCOMPARE(answer(QStringLiteral("Block incoming call feature is not available with CDMA mobiles/modems.")),
                 screen.get());

        // Update Settings saves the ticks and re-initialises; Close asks, and only OK closes.
        child<QPushButton>(screen.get(), "cmdUpdate")->click();
        QCOMPARE(answer(QStringLiteral("COM Ports Updated")), screen.get());
        QTRY_COMPARE(m_reinits, 1);
        QCOMPARE(portColumn("portActive", "COM1"), 1);
        const QString question = QStringLiteral("If, you have made any changes then please press ''Update Settings'' "
                                                "before exit.\nTo update the settings press ''Cancel'' or else "
                                                "''OK'' to continue.");
        auto *close = child<QPushButton>(screen.get(), "cmdClose");
        close->click();
        QCOMPARE(answer(question, {}, QMessageBox::Cancel), screen.get());
        QVERIFY(screen->isVisible());
        close->click();
        QCOMPARE(answer(question), screen.get());
        QVERIFY(!screen->isVisible());
    }

    // Unicode and long messages: for an active GSM type only; a CDMA type
    // unticks it, and Apply stores what is shown.
    void pduChoiceIsForGsmTypesOnly()
    {
        db().exec(QStringLiteral("UPDATE config_ports SET portActive = 1, systemPortNo = 'ttyS0', "
                                 "deviceType = 'GSM Modem - Other', mobileOperator = 'Jio', pduMode = 1 "
                                 "WHERE softwarePortNo = 'COM3'"));
        auto screen = makeScreen();
        const auto &com1 = screen->portTab(0);
        QVERIFY(!com1.pduMode->isChecked() && !com1.pduMode->isEnabled());
        com1.active->setChecked(true);
        QCOMPARE(com1.modemType->currentText(), kCdmaDeviceType); // the first type in the list
        QVERIFY(!com1.pduMode->isEnabled());
        com1.modemType->setCurrentText(QStringLiteral("GSM Mobile - Nokia"));
        QVERIFY(com1.pduMode->isEnabled() && !com1.pduMode->isChecked());

        const auto &com3 = screen->portTab(2);
        QVERIFY(com3.pduMode->isChecked() && com3.pduMode->isEnabled());
        const struct { QString type; bool tick; int stored; } steps[] = {
            {kCdmaDeviceType, false, 0},
            {QStringLiteral("GSM Modem - TAV"), true, 1},
        };
        for (const auto &step : steps) {
            com3.modemType->setCurrentText(step.type);
            QCOMPARE(com3.pduMode->isEnabled(), step.tick);
            QVERIFY(!com3.pduMode->isChecked());
            if (step.tick)
                com3.pduMode->click();
            com3.apply->click();
            QVERIFY(answer(QStringLiteral("Port added/updated successfully.")));
            QCOMPARE(portColumn("pduMode", "COM3"), step.stored);
        }
    }

    // The Internet tab: its fields follow "Activate Internet SMS"; Apply
    // logs in with the stored password while the placeholder is untouched
    // and shows the sender IDs; the count of parallel requests and the
    // listener's fields are saved by Update Settings, a bad network refused.
    void internetTabAppliesAndSaves()
    {
        test::FakeGateway gateway;
        QVERIFY(gateway.start());
        db().exec(QStringLiteral("UPDATE config_network SET gatewayHost = ?"), {gateway.host()});
        db().exec(QStringLiteral("UPDATE config_InternetSMS SET TAVusername = 'me', TAVpassword = 'Stored'"));
        HttpClient client;
        test::RecordingPrompter accountPrompter;
        GatewayAccount account(db(), client, accountPrompter);
        auto screen = makeScreen(&account);

        auto *user = child<QLineEdit>(screen.get(), "txtUsername");
        auto *password = child<QLineEdit>(screen.get(), "txtPassword");
        auto *apply = child<QPushButton>(screen.get(), "cmdInternetApply");
        QVERIFY(!user->isEnabled() && !password->isEnabled() && !apply->isEnabled());
        QCOMPARE(password->text(), ConnectionSettings::passwordPlaceholder());
        for (QCheckBox *box : screen->findChildren<QCheckBox *>())
            if (box->text() == QLatin1String("Activate Internet SMS"))
                box->setChecked(true);
        QVERIFY(user->isEnabled() && password->isEnabled() && apply->isEnabled());

        gateway.replyWith("ids<br>CDMA:C1<br>GSM:G1");
        apply->click();
        QCOMPARE(answer(QStringLiteral("Settings has been changed.")), screen.get());
        QCOMPARE(gateway.requests().first().query.value(QStringLiteral("pwd")), QStringLiteral("stored"));
        QCOMPARE(child<QLineEdit>(screen.get(), "txtGsmId")->text(), QStringLiteral("G1"));
        QCOMPARE(child<QLineEdit>(screen.get(), "txtCdmaId")->text(), QStringLiteral("C1"));

        auto *address = child<QLineEdit>(screen.get(), "txtListenAddress");
        auto *networks = child<QLineEdit>(screen.get(), "txtAllowedNetworks");
        QCOMPARE(networks->text(), AllowedNetworks::kDefault);
        networks->setText(QStringLiteral("127.0.0.0/8, 10.0.0.0/33"));
        auto *update = child<QPushButton>(screen.get(), "cmdUpdate");
        update->click();
        QCOMPARE(answer(QStringLiteral("Allowed networks: '10.0.0.0/33' is not a network.")), screen.get());
        QCOMPARE(m_reinits, 0);

        child<QSpinBox>(screen.get(), "spnParallelRequests")->setValue(5);
        address->setText(QStringLiteral("127.0.0.2"));
        networks->setText(QStringLiteral("127.0.0.0/8"));
        update->click();
        QVERIFY(answer(QStringLiteral("COM Ports Updated")));
        const NetworkSettings saved = NetworkSettings::load(db());
        QCOMPARE(QStringList({QString::number(saved.parallelRequests), saved.listenAddress, saved.allowedNetworks}),
                 QStringList({"5", "127.0.0.2", "127.0.0.0/8"}));
    }
};

QTEST_MAIN(TestSettingsScreen)
#include "tst_settingsscreen.moc"
