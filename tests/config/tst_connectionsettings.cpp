// The connection settings' rules and the reset to defaults, on a real store.
#include "AllowedNetworks.h"
#include "AppState.h"
#include "ConnectionSettings.h"
#include "RecordingPrompter.h"
#include "SettingsReset.h"
#include "SharedStore.h"
#include "Store.h"

#include <QCoroTask>
#include <QTest>

using namespace tavsms;

class TestConnectionSettings : public QObject
{
    Q_OBJECT

    Store *m_store = nullptr;
    test::RecordingPrompter m_prompter;
    QStringList m_events; // reinitialisations and boxes, in order
    std::unique_ptr<ConnectionSettings> m_settings;

    Database &db() { return m_store->db(); }
    // "active|system port|type|operator|two-way|routing|block|pdu" of a config_ports row.
    QString row(const QString &port)
    {
        return db().scalar(QStringLiteral("SELECT portActive || '|' || systemPortNo || '|' || deviceType || '|' || "
                                          "mobileOperator || '|' || allowTwoWay || '|' || allowRouting || '|' || "
                                          "blockIncoming || '|' || pduMode FROM config_ports WHERE softwarePortNo = ?"),
                           {port})
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
                             bool block = false, bool pdu = false)
    {
        return PortSettings{true, QStringLiteral("ttyUSB0"), type, name, true, true, block, pdu};
    }

private Q_SLOTS:
    void init()
    {
        m_store = &test::freshStore();
        m_prompter.clear();
        m_events.clear();
        m_settings = std::make_unique<ConnectionSettings>(
            db(), m_prompter,
            ConnectionSettings::Hooks{[this] { return reinitialize(); },
                                      [] { return QStringList{QStringLiteral("ttyS0"), QStringLiteral("ttyUSB0")}; },
                                      [](const QString &name) { return name == QLatin1String("/dev/pts/7"); }});
    }

    void loadShowsActivePortsOnlyAndCautionsAboutAbsentOnes()
    {
        setPort("COM1", true, "ttyUSB0", "GSM Modem - TAV", "Airtel");
        setPort("COM2", false, "ttyS0", "GSM Mobile - Nokia", "Old");
        setPort("COM3", true, "COM7", "CDMA Mobile - Nokia", "Tata");
        setPort("COM4", true, "/dev/pts/7", "GSM Mobile - Other", "Pty");
        db().exec(QStringLiteral("UPDATE config_InternetSMS SET TAVusername = 'me', gsm_id = 'G', cdma_id = 'C', "
                                 "TAVisActive = 1"));
        const SettingsScreenState s = *m_settings->load();

        const PortTab &com1 = s.ports[0];
        QVERIFY(com1.settings.active && com1.settings.allowRouting && !com1.settings.allowTwoWay
                && com1.settings.blockIncoming);
        QCOMPARE(com1.settings.mobileOperator, QStringLiteral("Airtel"));
        QCOMPARE(com1.settings.deviceType, QStringLiteral("GSM Modem - TAV"));
        QCOMPARE(com1.portChoices.value(com1.selectedPort), QStringLiteral("ttyUSB0"));
        QVERIFY(com1.caution.isEmpty());

        // Inactive: nothing of what the row still holds is shown.
        QVERIFY(!s.ports[1].settings.active && s.ports[1].settings.mobileOperator.isEmpty());
        QCOMPARE(s.ports[1].selectedPort, -1);

        // Absent: the stored name stays selectable, with the caution line;
        // a device path that exists is no cause for caution.
        QCOMPARE(s.ports[2].portChoices.value(s.ports[2].selectedPort), QStringLiteral("COM7"));
        QCOMPARE(s.ports[2].caution,
                 QStringLiteral("Caution: We are not able to find hardware port no COM7 on this system."));
        QCOMPARE(s.ports[3].portChoices.value(s.ports[3].selectedPort), QStringLiteral("/dev/pts/7"));
        QVERIFY(s.ports[3].caution.isEmpty());

        QVERIFY(s.internet.active);
        QCOMPARE(QStringList({s.internet.username, s.internet.gsmId, s.internet.cdmaId}), QStringList({"me", "G", "C"}));
        QCOMPARE(m_prompter.count(), 0); // loading writes and says nothing
    }

    // A port's own name may be given again; names are stored without blanks.
    void applySavesThePortAsActive()
    {
        setPort("COM2", false, "ttyS0", "GSM Modem - Other", "Jio  ");
        QVERIFY(m_settings->applyPort(1, port(QStringLiteral("Vodafone"))).saved);
        QVERIFY(m_prompter.contains(QStringLiteral("Success"), QStringLiteral("Port added/updated successfully.")));
        QCOMPARE(row(QStringLiteral("COM2")), QStringLiteral("1|ttyUSB0|GSM Modem - Other|Vodafone|1|1|0|0"));
        QVERIFY(m_settings->applyPort(1, port(QStringLiteral(" Vodafone "))).saved);
        QCOMPARE(row(QStringLiteral("COM2")), QStringLiteral("1|ttyUSB0|GSM Modem - Other|Vodafone|1|1|0|0"));
        QVERIFY(m_events.isEmpty()); // Apply never re-initialises
    }

    void applyRefusals_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("systemPort");
        QTest::addColumn<QString>("box");
        const QString taken = QStringLiteral("Mobile Operator %1 already exist. Please choose another name for this "
                                             "connection.");
        const QString noName = QStringLiteral("Please enter mobile operator's name.");
        QTest::newRow("taken by another port") << "Airtel" << "ttyS0" << taken.arg("Airtel");
        QTest::newRow("taken, blanks around") << " Airtel  " << "ttyS0" << taken.arg("Airtel");
        // Rows written before names were trimmed may carry blanks, the port on or off.
        QTest::newRow("stored with blanks, port off") << "Jio" << "ttyS0" << taken.arg("Jio");
        QTest::newRow("empty") << "" << "ttyS0" << noName;
        QTest::newRow("blanks") << "   " << "ttyS0" << noName;
        QTest::newRow("no system port") << "Idea" << " " << "Please select the system port of this connection.";
    }
    void applyRefusals()
    {
        QFETCH(QString, name);
        QFETCH(QString, systemPort);
        QFETCH(QString, box);
        setPort("COM1", true, "ttyS0", "GSM Modem - Other", "Airtel");
        setPort("COM2", false, "ttyS0", "GSM Modem - Other", "Jio  ");
        PortSettings s = port(name);
        s.systemPort = systemPort;
        const auto outcome = m_settings->applyPort(3, s);
        QVERIFY(!outcome.saved);
        QCOMPARE(outcome.focusOperator, !box.startsWith(QLatin1String("Please select")));
        QCOMPARE(m_prompter.count(), 1);
        QCOMPARE(m_prompter.entries().first().text, box);
        QCOMPARE(row(QStringLiteral("COM4")), QStringLiteral("0||||0|0|0|0"));
    }

    // Call blocking is kept for the TAV modem only, PDU mode for GSM types only.
    void callBlockingAndPduModeFollowTheType()
    {
        for (const QString &type : kDeviceTypes) {
            const auto outcome = m_settings->applyPort(2, port(QStringLiteral("Op"), type, true, true));
            QVERIFY(outcome.saved);
            const bool tav = type == QLatin1String("GSM Modem - TAV");
            const bool cdma = type == kCdmaDeviceType;
            QCOMPARE(outcome.blockUnticked, !tav);
            QVERIFY2(row(QStringLiteral("COM3")).endsWith(QStringLiteral("|%1|%2").arg(int(tav)).arg(int(!cdma))),
                     qPrintable(type + QLatin1Char(' ') + row(QStringLiteral("COM3"))));
            QCOMPARE(m_settings->load()->ports[2].settings.pduMode, !cdma);
            QVERIFY(m_settings->applyPort(2, port(QStringLiteral("Op"), type)).saved);
            QVERIFY(row(QStringLiteral("COM3")).endsWith(QLatin1String("|0|0")));
        }
        // A tick stored before the type became CDMA means nothing to the CDMA phone.
        setPort("COM3", true, "ttyS0", kCdmaDeviceType, "Op");
        db().exec(QStringLiteral("UPDATE config_ports SET pduMode = 1 WHERE softwarePortNo = 'COM3'"));
        QVERIFY(!m_settings->load()->ports[2].settings.pduMode);

        m_prompter.clear();
        m_settings->noticeCallBlocking(false);
        QCOMPARE(m_prompter.count(), 0);
        m_settings->noticeCallBlocking(true);
        QCOMPARE(m_prompter.entries().first().text,
                 QStringLiteral("Block incoming call feature is not available with CDMA mobiles/modems."));
    }

    // Every port's flag is written (each set to the opposite of what it
    // held, twice over), with the gateway's and the request count, then the
    // ports are initialised again.
    void updateSettingsWritesTheFlagsThenReinitialises()
    {
        std::array<bool, kPortCount> flags{true, false, true, false, true};
        for (int round = 0; round < 2; ++round) {
            for (int i = 0; i < kPortCount; ++i)
                setPort(kSoftwarePorts.at(i), !flags[size_t(i)], "ttyS0", "GSM Modem - Other", QStringLiteral("Op%1").arg(i));
            QVERIFY(QCoro::waitFor(m_settings->updateSettings(flags, round == 0, 13 + round)));
            for (int i = 0; i < kPortCount; ++i)
                QCOMPARE(row(kSoftwarePorts.at(i)).left(1), flags[size_t(i)] ? QStringLiteral("1") : QStringLiteral("0"));
            QCOMPARE(m_settings->load()->internet.active, round == 0);
            QCOMPARE(m_settings->load()->internet.parallelRequests, 13 + round);
            for (bool &flag : flags)
                flag = !flag;
        }
        QCOMPARE(row(QStringLiteral("COM1")), QStringLiteral("0|ttyS0|GSM Modem - Other|Op0|0|1|1|0")); // the rest kept
        QVERIFY(m_prompter.contains(QStringLiteral("Success"), QStringLiteral("COM Ports Updated")));
        QCOMPARE(m_events, (QStringList{QStringLiteral("reinit after 1 box(es)"), QStringLiteral("reinit after 2 box(es)")}));
    }

    // The listener's fields are saved with the flags, or, when one does not
    // parse, nothing is saved and the box names the entry.
    void updateSettingsSavesTheListenerFieldsWhenTheyParse()
    {
        QCOMPARE(m_settings->load()->listener.allowedNetworks, AllowedNetworks::kDefault);
        const auto stored = [this](const char *column) {
            return db().scalar(QStringLiteral("SELECT %1 FROM config_network").arg(QLatin1String(column))).toString();
        };
        QVERIFY(!QCoro::waitFor(m_settings->updateSettings(
            {true, false, false, false, false}, true, 8,
            ListenerFields{QStringLiteral("127.0.0.1"), QStringLiteral("10.0.0.0/8, 10.0.0.0/33")})));
        QCOMPARE(m_prompter.entries().value(0).text, QStringLiteral("Allowed networks: '10.0.0.0/33' is not a network."));
        QCOMPARE(m_prompter.count(), 1);
        QCOMPARE(row(QStringLiteral("COM1")).left(1), QStringLiteral("0"));
        QCOMPARE(stored("listenAddress"), QString());
        QVERIFY(m_events.isEmpty());

        QVERIFY(QCoro::waitFor(m_settings->updateSettings(
            {true, false, false, false, false}, false, 5,
            ListenerFields{QStringLiteral(" 192.168.1.10 "), QStringLiteral("192.168.1.0/24, ::1")})));
        QCOMPARE(row(QStringLiteral("COM1")).left(1), QStringLiteral("1"));
        QCOMPARE(stored("listenAddress"), QStringLiteral("192.168.1.10"));
        QCOMPARE(m_settings->load()->listener.allowedNetworks, QStringLiteral("192.168.1.0/24, ::1"));
        QCOMPARE(stored("parallelRequests"), QStringLiteral("5"));
        QCOMPARE(stored("listenerPort"), QStringLiteral("8081")); // the rest of the row stays
    }

    void resetClearsEverythingAndStopsSending()
    {
        AppState state;
        setPort("COM2", true, "ttyS0", "GSM Modem - TAV", "A");
        db().exec(QStringLiteral("UPDATE config_ports SET remarks = 'note', pduMode = 1"));
        db().exec(QStringLiteral("UPDATE config_InternetSMS SET TAVusername = 'me', TAVpassword = 'pw', "
                                 "TAVisActive = 1"));
        auto reinit = [this] { return reinitialize(); };

        // Cancel: nothing happens.
        m_prompter.queueAnswer(false);
        QVERIFY(!QCoro::waitFor(resetToDefault(db(), m_prompter, state, reinit)));
        QVERIFY(state.sendingRunning());
        QCOMPARE(row(QStringLiteral("COM2")), QStringLiteral("1|ttyS0|GSM Modem - TAV|A|0|1|1|1"));
        QVERIFY(m_events.isEmpty());
        QVERIFY(m_prompter.entries().first().question);

        m_prompter.clear();
        QVERIFY(QCoro::waitFor(resetToDefault(db(), m_prompter, state, reinit)));
        QVERIFY(!state.sendingRunning());
        for (const QString &port : kSoftwarePorts)
            QCOMPARE(row(port), QStringLiteral("0||||0|0|0|0"));
        QCOMPARE(db().scalar(QStringLiteral("SELECT count(*) FROM config_ports WHERE remarks = ''")).toInt(), 5);
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
