// The connection settings' rules and the reset to defaults, on a real store.
#include "AllowedNetworks.h"
#include "AppState.h"
#include "ConnectionSettings.h"
#include "RecordingPrompter.h"
#include "SettingsReset.h"
#include "SharedStore.h"
#include "Store.h"
#include "TestDataDirectory.h"

#include <QCoroTask>
#include <QTest>

using namespace tavsms;

class TestConnectionSettings : public QObject
{
    Q_OBJECT

    std::unique_ptr<test::TestDataDirectory> m_dir;
    Store *m_store = nullptr;
    test::RecordingPrompter m_prompter;
    QStringList m_events; // reinitialisations and boxes, in order
    std::unique_ptr<ConnectionSettings> m_settings;

    Database &db() { return m_store->db(); }
    QString column(const QString &port, const QString &name)
    {
        return db().scalar(QStringLiteral("SELECT %1 FROM config_ports WHERE softwarePortNo = ?").arg(name), {port})
            .toString();
    }
    void setPort(const QString &port, bool active, const QString &system, const QString &type, const QString &name)
    {
        db().exec(QStringLiteral("UPDATE config_ports SET portActive = ?, systemPortNo = ?, deviceType = ?, "
                                 "mobileOperator = ?, allowRouting = 1, allowTwoWay = 0, blockIncoming = 1 "
                                 "WHERE softwarePortNo = ?"),
                  {active, system, type, name, port});
    }
    QCoro::Task<void> reinitialize()
    {
        m_events << QStringLiteral("reinit after %1 box(es)").arg(m_prompter.count());
        co_return;
    }
    static PortSettings port(const QString &name, const QString &type = QStringLiteral("GSM Modem - Other"),
                             bool block = false)
    {
        PortSettings s;
        s.active = true;
        s.systemPort = QStringLiteral("ttyUSB0");
        s.deviceType = type;
        s.mobileOperator = name;
        s.allowRouting = true;
        s.allowTwoWay = true;
        s.blockIncoming = block;
        return s;
    }

private Q_SLOTS:
    void init()
    {
        m_dir = std::make_unique<test::TestDataDirectory>();
        m_store = &tavsms::test::freshStore();
        m_prompter.clear();
        m_events.clear();
        m_settings = std::make_unique<ConnectionSettings>(
            db(), m_prompter,
            ConnectionSettings::Hooks{[this] { return reinitialize(); },
                                      [] { return QStringList{QStringLiteral("ttyS0"), QStringLiteral("ttyUSB0")}; },
                                      [](const QString &name) { return name == QLatin1String("/dev/pts/7"); }});
    }
    void cleanup()
    {
        m_settings.reset();
        m_store = nullptr;
        m_dir.reset();
    }

    void loadShowsActivePortsOnlyAndCautionsAboutAbsentOnes()
    {
        setPort(QStringLiteral("COM1"), true, QStringLiteral("ttyUSB0"), QStringLiteral("GSM Modem - TAV"),
                QStringLiteral("Airtel"));
        setPort(QStringLiteral("COM2"), false, QStringLiteral("ttyS0"), QStringLiteral("GSM Mobile - Nokia"),
                QStringLiteral("Old"));
        setPort(QStringLiteral("COM3"), true, QStringLiteral("COM7"), QStringLiteral("CDMA Mobile - Nokia"),
                QStringLiteral("Tata"));
        setPort(QStringLiteral("COM4"), true, QStringLiteral("/dev/pts/7"), QStringLiteral("GSM Mobile - Other"),
                QStringLiteral("Pty"));
        db().exec(QStringLiteral("UPDATE config_InternetSMS SET TAVusername = 'me', gsm_id = 'G', cdma_id = 'C', "
                                 "TAVisActive = 1"));
        const SettingsScreenState s = *m_settings->load();

        const PortTab &com1 = s.ports[0];
        QVERIFY(com1.settings.active);
        QCOMPARE(com1.settings.mobileOperator, QStringLiteral("Airtel"));
        QCOMPARE(com1.settings.deviceType, QStringLiteral("GSM Modem - TAV"));
        QVERIFY(com1.settings.allowRouting && !com1.settings.allowTwoWay && com1.settings.blockIncoming);
        QCOMPARE(com1.portChoices, (QStringList{QStringLiteral("ttyS0"), QStringLiteral("ttyUSB0")}));
        QCOMPARE(com1.selectedPort, 1);
        QVERIFY(com1.caution.isEmpty());

        // Inactive: nothing of what the row still holds is shown.
        QVERIFY(!s.ports[1].settings.active);
        QVERIFY(s.ports[1].settings.mobileOperator.isEmpty());
        QCOMPARE(s.ports[1].selectedPort, -1);

        // Absent: the stored name stays selectable, with the caution line.
        const PortTab &com3 = s.ports[2];
        QCOMPARE(com3.portChoices.last(), QStringLiteral("COM7"));
        QCOMPARE(com3.selectedPort, 2);
        QCOMPARE(com3.caution,
                 QStringLiteral("Caution: We are not able to find hardware port no COM7 on this system."));
        QCOMPARE(column(QStringLiteral("COM3"), QStringLiteral("systemPortNo")), QStringLiteral("COM7"));

        // A device path that exists is no cause for caution.
        QCOMPARE(s.ports[3].portChoices.value(s.ports[3].selectedPort), QStringLiteral("/dev/pts/7"));
        QVERIFY(s.ports[3].caution.isEmpty());

        QVERIFY(s.internet.active);
        QCOMPARE(s.internet.username, QStringLiteral("me"));
        QCOMPARE(s.internet.gsmId, QStringLiteral("G"));
        QCOMPARE(s.internet.cdmaId, QStringLiteral("C"));
        QCOMPARE(m_prompter.count(), 0); // loading writes and says nothing
    }

    void applySavesThePortAsActive()
    {
        const auto outcome = m_settings->applyPort(1, port(QStringLiteral("Vodafone")));
        QVERIFY(outcome.saved);
        QVERIFY(m_prompter.contains(QStringLiteral("Success"), QStringLiteral("Port added/updated successfully.")));
        QCOMPARE(column(QStringLiteral("COM2"), QStringLiteral("portActive")), QStringLiteral("1"));
        QCOMPARE(column(QStringLiteral("COM2"), QStringLiteral("systemPortNo")), QStringLiteral("ttyUSB0"));
        QCOMPARE(column(QStringLiteral("COM2"), QStringLiteral("deviceType")), QStringLiteral("GSM Modem - Other"));
        QCOMPARE(column(QStringLiteral("COM2"), QStringLiteral("mobileOperator")), QStringLiteral("Vodafone"));
        QCOMPARE(column(QStringLiteral("COM2"), QStringLiteral("allowTwoWay")), QStringLiteral("1"));
        QCOMPARE(column(QStringLiteral("COM2"), QStringLiteral("allowRouting")), QStringLiteral("1"));
        QVERIFY(m_events.isEmpty()); // Apply never re-initialises
    }

    void operatorNamesMustBeGivenAndUnique()
    {
        QVERIFY(m_settings->applyPort(0, port(QStringLiteral("Airtel"))).saved);
        m_prompter.clear();

        // Another port with the same name, blanks around it or not: refused, nothing written.
        for (const QString &name : {QStringLiteral("Airtel"), QStringLiteral(" Airtel  ")}) {
            m_prompter.clear();
            const auto outcome = m_settings->applyPort(2, port(name));
            QVERIFY(!outcome.saved);
            QVERIFY(outcome.focusOperator);
            QCOMPARE(m_prompter.entries().first().text,
                     QStringLiteral("Mobile Operator Airtel already exist. Please choose another name for this "
                                    "connection."));
            QCOMPARE(m_prompter.entries().first().title, QStringLiteral("Error"));
            QCOMPARE(column(QStringLiteral("COM3"), QStringLiteral("portActive")), QStringLiteral("0"));
        }
        // The same name again on its own port is fine, and is stored without blanks.
        QVERIFY(m_settings->applyPort(0, port(QStringLiteral("Airtel "))).saved);
        QCOMPARE(column(QStringLiteral("COM1"), QStringLiteral("mobileOperator")), QStringLiteral("Airtel"));

        for (const QString &name : {QString(), QStringLiteral("   ")}) {
            m_prompter.clear();
            QVERIFY(!m_settings->applyPort(3, port(name)).saved);
            QVERIFY(m_prompter.contains(QStringLiteral("Error"), QStringLiteral("Please enter mobile operator's name.")));
            QCOMPARE(column(QStringLiteral("COM4"), QStringLiteral("portActive")), QStringLiteral("0"));
        }
        PortSettings noPort = port(QStringLiteral("Idea"));
        noPort.systemPort.clear();
        QVERIFY(!m_settings->applyPort(3, noPort).saved);
    }

    // Rows written before names were trimmed may still carry blanks; they
    // name the same connection all the same, whether the port is on or off.
    void storedNameWithBlanksIsTakenToo()
    {
        setPort(QStringLiteral("COM2"), false, QStringLiteral("ttyS0"), QStringLiteral("GSM Modem - Other"),
                QStringLiteral("Airtel  "));
        const auto outcome = m_settings->applyPort(3, port(QStringLiteral("Airtel")));
        QVERIFY(!outcome.saved);
        QVERIFY(outcome.focusOperator);
        QCOMPARE(m_prompter.count(), 1);
        QCOMPARE(m_prompter.entries().first().text,
                 QStringLiteral("Mobile Operator Airtel already exist. Please choose another name for this "
                                "connection."));
        QCOMPARE(column(QStringLiteral("COM4"), QStringLiteral("portActive")), QStringLiteral("0"));

        // On its own port the name is fine, and is stored without the blanks.
        QVERIFY(m_settings->applyPort(1, port(QStringLiteral("Airtel"))).saved);
        QCOMPARE(column(QStringLiteral("COM2"), QStringLiteral("mobileOperator")), QStringLiteral("Airtel"));
    }

    void onlyTheTavModemKeepsCallBlocking()
    {
        for (const QString &type : kDeviceTypes) {
            const auto outcome = m_settings->applyPort(4, port(QStringLiteral("Op"), type, true));
            QVERIFY(outcome.saved);
            const bool keeps = type == QLatin1String("GSM Modem - TAV");
            QCOMPARE(outcome.blockUnticked, !keeps);
            QCOMPARE(column(QStringLiteral("COM5"), QStringLiteral("blockIncoming")),
                     keeps ? QStringLiteral("1") : QStringLiteral("0"));
        }
        m_prompter.clear();
        m_settings->noticeCallBlocking(false);
        QCOMPARE(m_prompter.count(), 0);
        m_settings->noticeCallBlocking(true);
        QCOMPARE(m_prompter.entries().first().text,
                 QStringLiteral("Block incoming call feature is not available with CDMA mobiles/modems."));
        QCOMPARE(m_prompter.entries().first().icon, Prompter::Icon::Information);
    }

    void pduModeIsKeptForGsmTypesOnly()
    {
        for (const QString &type : kDeviceTypes) {
            PortSettings s = port(QStringLiteral("Op"), type);
            s.pduMode = true;
            QVERIFY(m_settings->applyPort(2, s).saved);
            const bool cdma = type == kCdmaDeviceType;
            QCOMPARE(column(QStringLiteral("COM3"), QStringLiteral("pduMode")), cdma ? QStringLiteral("0") : QStringLiteral("1"));
            QCOMPARE(m_settings->load()->ports[2].settings.pduMode, !cdma);
            // Unticked, it is stored unticked.
            s.pduMode = false;
            QVERIFY(m_settings->applyPort(2, s).saved);
            QCOMPARE(column(QStringLiteral("COM3"), QStringLiteral("pduMode")), QStringLiteral("0"));
        }
        // A tick stored before the type became CDMA means nothing to the CDMA phone.
        setPort(QStringLiteral("COM3"), true, QStringLiteral("ttyS0"), kCdmaDeviceType, QStringLiteral("Op"));
        db().exec(QStringLiteral("UPDATE config_ports SET pduMode = 1 WHERE softwarePortNo = 'COM3'"));
        QVERIFY(!m_settings->load()->ports[2].settings.pduMode);
    }

    void updateSettingsWritesTheFlagsThenReinitialises()
    {
        setPort(QStringLiteral("COM1"), true, QStringLiteral("ttyS0"), QStringLiteral("GSM Modem - TAV"),
                QStringLiteral("A"));
        const bool saved = QCoro::waitFor(m_settings->updateSettings({false, true, false, true, false}, true, 13));
        QVERIFY(saved);
        QCOMPARE(column(QStringLiteral("COM1"), QStringLiteral("portActive")), QStringLiteral("0"));
        QCOMPARE(column(QStringLiteral("COM1"), QStringLiteral("mobileOperator")), QStringLiteral("A")); // kept
        QCOMPARE(column(QStringLiteral("COM2"), QStringLiteral("portActive")), QStringLiteral("1"));
        QCOMPARE(column(QStringLiteral("COM4"), QStringLiteral("portActive")), QStringLiteral("1"));
        QCOMPARE(column(QStringLiteral("COM5"), QStringLiteral("portActive")), QStringLiteral("0"));
        QCOMPARE(db().scalar(QStringLiteral("SELECT TAVisActive FROM config_InternetSMS")).toInt(), 1);
        QCOMPARE(m_settings->load()->internet.parallelRequests, 13);
        QCOMPARE(m_prompter.count(), 1);
        QVERIFY(m_prompter.contains(QStringLiteral("Success"), QStringLiteral("COM Ports Updated")));
        QCOMPARE(m_events, QStringList{QStringLiteral("reinit after 1 box(es)")});
    }

    // Every port's flag is written, each one set to the opposite of what it held.
    void updateSettingsWritesAllFiveFlags()
    {
        std::array<bool, kPortCount> flags{true, false, true, false, true};
        for (int round = 0; round < 2; ++round) {
            for (int i = 0; i < kPortCount; ++i)
                setPort(kSoftwarePorts.at(i), !flags[size_t(i)], QStringLiteral("ttyS0"),
                        QStringLiteral("GSM Modem - Other"), QStringLiteral("Op%1").arg(i));
            QVERIFY(QCoro::waitFor(m_settings->updateSettings(flags, false, 8)));
            for (int i = 0; i < kPortCount; ++i)
                QCOMPARE(column(kSoftwarePorts.at(i), QStringLiteral("portActive")),
                         flags[size_t(i)] ? QStringLiteral("1") : QStringLiteral("0"));
            for (bool &flag : flags)
                flag = !flag;
        }
    }

    // The listener's fields are saved with the flags, or, when one does not
    // parse, nothing is saved and the box names the entry.
    void updateSettingsSavesTheListenerFieldsWhenTheyParse()
    {
        const std::optional<SettingsScreenState> shown = m_settings->load();
        QVERIFY(shown);
        QCOMPARE(shown->listener.listenAddress, QString());
        QCOMPARE(shown->listener.allowedNetworks, AllowedNetworks::kDefault);
        const auto stored = [this](const char *column) {
            return db().scalar(QStringLiteral("SELECT %1 FROM config_network").arg(QLatin1String(column))).toString();
        };

        QVERIFY(!QCoro::waitFor(m_settings->updateSettings(
            {true, false, false, false, false}, true, 8,
            ListenerFields{QStringLiteral("127.0.0.1"), QStringLiteral("10.0.0.0/8, 10.0.0.0/33")})));
        QCOMPARE(m_prompter.count(), 1);
        QCOMPARE(m_prompter.entries().first().text, QStringLiteral("Allowed networks: '10.0.0.0/33' is not a network."));
        QCOMPARE(m_prompter.entries().first().icon, Prompter::Icon::Exclamation);
        QCOMPARE(column(QStringLiteral("COM1"), QStringLiteral("portActive")), QStringLiteral("0"));
        QCOMPARE(stored("listenAddress"), QString());
        QVERIFY(m_events.isEmpty());

        m_prompter.clear();
        QVERIFY(!QCoro::waitFor(m_settings->updateSettings({}, false, 8, ListenerFields{QStringLiteral("host.lan"),
                                                                                        AllowedNetworks::kDefault})));
        QCOMPARE(m_prompter.entries().first().text, QStringLiteral("Listen address: 'host.lan' is not an IP address."));

        m_prompter.clear();
        QVERIFY(QCoro::waitFor(m_settings->updateSettings(
            {true, false, false, false, false}, false, 5,
            ListenerFields{QStringLiteral(" 192.168.1.10 "), QStringLiteral("192.168.1.0/24, ::1")})));
        QVERIFY(m_prompter.contains(QStringLiteral("Success"), QStringLiteral("COM Ports Updated")));
        QCOMPARE(column(QStringLiteral("COM1"), QStringLiteral("portActive")), QStringLiteral("1"));
        QCOMPARE(stored("listenAddress"), QStringLiteral("192.168.1.10"));
        QCOMPARE(stored("allowedNetworks"), QStringLiteral("192.168.1.0/24, ::1"));
        QCOMPARE(stored("parallelRequests"), QStringLiteral("5"));
        // The rest of the row stays as it was.
        QCOMPARE(stored("listenerPort"), QStringLiteral("8081"));
        QCOMPARE(stored("gatewayHost"), QStringLiteral("gateway.tavsms.com"));
        QCOMPARE(m_settings->load()->listener.allowedNetworks, QStringLiteral("192.168.1.0/24, ::1"));
    }

    void closeAsksFirst()
    {
        m_prompter.queueAnswer(false);
        QVERIFY(!QCoro::waitFor(m_settings->confirmClose()));
        QVERIFY(QCoro::waitFor(m_settings->confirmClose()));
        const auto e = m_prompter.entries().first();
        QVERIFY(e.question);
        QCOMPARE(e.icon, Prompter::Icon::Question);
        QCOMPARE(e.text, QStringLiteral("If, you have made any changes then please press ''Update Settings'' before "
                                        "exit.\r\nTo update the settings press ''Cancel'' or else ''OK'' to continue."));
    }

    void resetClearsEverythingAndStopsSending()
    {
        AppState state;
        setPort(QStringLiteral("COM2"), true, QStringLiteral("ttyS0"), QStringLiteral("GSM Modem - TAV"),
                QStringLiteral("A"));
        db().exec(QStringLiteral("UPDATE config_ports SET remarks = 'note', pduMode = 1"));
        db().exec(QStringLiteral("UPDATE config_InternetSMS SET TAVusername = 'me', TAVpassword = 'pw', "
                                 "TAVisActive = 1"));
        auto reinit = [this] { return reinitialize(); };

        // Cancel: nothing happens.
        m_prompter.queueAnswer(false);
        QVERIFY(!QCoro::waitFor(resetToDefault(db(), m_prompter, state, reinit)));
        QVERIFY(state.sendingRunning());
        QCOMPARE(column(QStringLiteral("COM2"), QStringLiteral("mobileOperator")), QStringLiteral("A"));
        QVERIFY(m_events.isEmpty());
        const auto q = m_prompter.entries().first();
        QCOMPARE(q.title, QStringLiteral("Reset Settings?"));
        QCOMPARE(q.text, QStringLiteral("Are you sure to reset all settings?"));
        QCOMPARE(q.icon, Prompter::Icon::Exclamation);

        m_prompter.clear();
        QVERIFY(QCoro::waitFor(resetToDefault(db(), m_prompter, state, reinit)));
        QVERIFY(!state.sendingRunning());
        QCOMPARE(db().scalar(QStringLiteral("SELECT count(*) FROM config_ports WHERE portActive = 0 AND "
                                            "systemPortNo = '' AND deviceType = '' AND allowTwoWay = 0 AND "
                                            "allowRouting = 0 AND mobileOperator = '' AND blockIncoming = 0 AND "
                                            "remarks = '' AND pduMode = 0"))
                     .toInt(),
                 5);
        QCOMPARE(db().scalar(QStringLiteral("SELECT count(*) FROM config_InternetSMS WHERE TAVusername = 'zeta' AND "
                                            "TAVpassword = 'zeta' AND cdma_id = 'zeta' AND gsm_id = 'zeta' AND "
                                            "TAVisActive = 0"))
                     .toInt(),
                 1);
        QVERIFY(m_prompter.contains(QStringLiteral("Reset Settings?"), QStringLiteral("Settings has been reset.")));
        QCOMPARE(m_events, QStringList{QStringLiteral("reinit after 2 box(es)")});
    }
};

QTEST_GUILESS_MAIN(TestConnectionSettings)
#include "tst_connectionsettings.moc"
