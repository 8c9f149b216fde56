// The modem channel's screens in the main window: the incoming list and its
// report, the phone console, the tip that closes itself. "Auto Reply
// Settings" and "Modem Settings" (frmConfig) through their controls: the
// enable rules, what each control hands to the logic and the form shown
// back, their boxes over them.
#include "AllowedNetworks.h"
#include "AutoReplyWindow.h"
#include "ConnectionSettingsWindow.h"
#include "FakeGateway.h"
#include "GatewayAccount.h"
#include "HttpClient.h"
#include "IncomingLog.h"
#include "IncomingSmsWindow.h"
#include "NetworkSettings.h"
#include "PdfText.h"
#include "PortHealthWindow.h"
#include "RecordingPrompter.h"
#include "ReportWindow.h"
#include "TipWindow.h"
#include "WindowTest.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTableView>
#include <QTableWidget>
#include <QTest>

using namespace tavsms;
using namespace tavsms::test::Controls;

class TestModemScreens : public test::WindowTest
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

    // The program running, COM1 active as "Airtel", the screen open.
    AutoReplyWindow *openWithAirtel()
    {
        if (!start())
            return nullptr;
        db().exec(QStringLiteral("UPDATE config_ports SET portActive = 1, mobileOperator = 'Airtel' "
                                 "WHERE softwarePortNo = 'COM1'"));
        db().exec(QStringLiteral("INSERT INTO groups (group_name) VALUES ('Friends')"));
        return open<AutoReplyWindow>("mnuMsgIncoming");
    }

private Q_SLOTS:
    void incomingListAndReport()
    {
        const QString longText = QStringLiteral("older, and long: ") + QString(140, QLatin1Char('x'));
        IncomingLog log(db());
        log.insert({QDateTime(QDate(2024, 5, 1), QTime(9, 0)), QStringLiteral("COM1"),
                    QDateTime(QDate(2024, 5, 1), QTime(8, 59, 30)), QStringLiteral("9000000001"), longText});
        log.insert({QDateTime(QDate(2024, 5, 2), QTime(14, 5, 6)), QStringLiteral("COM2"),
                    QDateTime(QDate(2024, 5, 2), QTime(14, 0)), QStringLiteral("9000000002"),
                    QStringLiteral("<b>newer</b> & it's")});
        QVERIFY(start());
        auto *screen = open<IncomingSmsWindow>("mnuMsgIncSMS");
        QVERIFY(screen);
        const QAbstractItemModel *model = screen->grid()->model();
        QCOMPARE(model->rowCount(), 2);

        // Newest first; the dates as the operator reads them; a message's tip holds all of it.
        const struct { int row, column, role; QString value; } cells[] = {
            {0, 1, Qt::DisplayRole, QStringLiteral("5/2/2024 2:00:00 PM")},
            {0, 3, Qt::DisplayRole, QStringLiteral("<b>newer</b> & it's")},
            {1, 3, Qt::ToolTipRole, longText},
            {1, 2, Qt::ToolTipRole, QString()},
        };
        for (const auto &c : cells)
            QCOMPARE(model->index(c.row, c.column).data(c.role).toString(), c.value);
        QCOMPARE(model->index(0, 0).data(Qt::TextAlignmentRole).toInt(), int(Qt::AlignCenter));

        // "Print" opens the report on the same rows, newest first, the text as stored.
        QTest::mouseClick(screen->findChild<QPushButton *>(QStringLiteral("cmdPrint")), Qt::LeftButton);
        ReportWindow *report = screen->report();
        QVERIFY(report && report->isVisible());
        const QString pdf = dir().root() + QStringLiteral("/incoming.pdf");
        QVERIFY(QCoro::waitFor(report->savePdf(pdf)));
        QCOMPARE(answer(QStringLiteral("The report was saved to ") + pdf), report);
        const QString text = test::pdfText(pdf);
        for (const char *expected : {"Message Received", "Sender's Number", "<b>newer</b> & it's", "5/1/2024 9:00:00 AM"})
            QVERIFY2(text.contains(QLatin1String(expected)), expected);
        QVERIFY(text.indexOf(QLatin1String("9000000002")) < text.indexOf(QLatin1String("9000000001")));

        QVERIFY(!QCoro::waitFor(report->savePdf(dir().root() + QStringLiteral("/no/such/dir/x.pdf"))));
        QCOMPARE(test::Boxes::open().value(0)->parentWidget(), report);
    }

    // A page that cannot be read is told over the list; the rows shown stay.
    void anUnreadablePageIsToldOverTheList()
    {
        {
            Transaction tx(db());
            IncomingLog log(db());
            const QDateTime at(QDate(2024, 5, 1), QTime(9, 0));
            for (int i = 0; i < 250; ++i)
                log.insert({at, QStringLiteral("COM1"), at, QStringLiteral("9000000000"), QStringLiteral("m")});
            tx.commit();
        }
        QVERIFY(start());
        auto *screen = open<IncomingSmsWindow>("mnuMsgIncSMS");
        QVERIFY(screen);
        const int shown = screen->grid()->model()->rowCount();
        QVERIFY(shown < 250);
        db().execScript(QStringLiteral("ALTER TABLE incoming_logs RENAME TO gone"));
        screen->grid()->scrollToBottom();
        QTRY_COMPARE(test::Boxes::open().size(), 1);
        QMessageBox *box = test::Boxes::open().first();
        QVERIFY2(box->text().contains(QLatin1String("no such table")), qPrintable(box->text()));
        QCOMPARE(box->parentWidget(), screen);
        QCOMPARE(screen->grid()->model()->rowCount(), shown);
    }

    void phoneConsoleToldOverItself()
    {
        QVERIFY(start());
        QWidget *console = open("mnuHelpCST");
        QVERIFY(console);
        console->findChild<QPushButton *>(QStringLiteral("cmdSync"))->click();
        QCOMPARE(answer(QStringLiteral("Please select the message types")), console);
    }

    void missingPortShowsATipThatClosesItself()
    {
        db().exec(QStringLiteral("UPDATE config_ports SET portActive = 1, systemPortNo = '/nonexistent/tty0' "
                                 "WHERE softwarePortNo = 'COM1'"));
        QVERIFY(start());
        auto *tip = window().findChild<TipWindow *>(QStringLiteral("frmTip"));
        QVERIFY(tip && tip->isVisible());
        QCOMPARE(tip->findChild<QLabel *>()->text(), QStringLiteral("You need to configure ports from File>>Configure Modem"));
        // It follows the critical box about the port and leaves it in view.
        QMessageBox *box = test::Boxes::open().value(0);
        QVERIFY(box);
        QVERIFY(!tip->frameGeometry().intersects(box->frameGeometry()));
        QVERIFY(window().frameGeometry().contains(tip->frameGeometry()));

        // Ten seconds, on a timer that closes it; run out early here.
        QCOMPARE(tip->closeTimer().interval(), 10000);
        QVERIFY(tip->closeTimer().isActive() && tip->closeTimer().isSingleShot());
        QPointer<QWidget> watched(tip);
        tip->closeTimer().start(0);
        QTRY_VERIFY(!watched);
    }

    void controlsDriveTheLogic()
    {
        AutoReplyWindow *screen = openWithAirtel();
        QVERIFY(screen);
        auto *keywords = child<QComboBox>(screen, "cboKeyword");
        auto *url = child<QLineEdit>(screen, "txtUrl");
        auto *reply = child<QPlainTextEdit>(screen, "txtReply");

        // The URL box follows the option however it is chosen; leaving it tidies it.
        QVERIFY(!url->isEnabled());
        child<QRadioButton>(screen, "optPush")->setChecked(true);
        QVERIFY(url->isEnabled());
        QTest::keyClicks(url, QStringLiteral("HTTP://X/?a=@@SENDER@@"));
        emit url->editingFinished();
        QCOMPARE(url->text(), QStringLiteral("http://x/?a=@@sender@@"));
        child<QRadioButton>(screen, "optNoAction")->click();
        QVERIFY(!url->isEnabled() && url->text().isEmpty());

        // Create Key: the action table shows the new keyword, chosen.
        QTest::keyClicks(child<QLineEdit>(screen, "txtKeyword"), QStringLiteral("join"));
        child<QPushButton>(screen, "cmdCreateKey")->click();
        QCOMPARE(answer(QStringLiteral("Keyword has been created.")), screen);
        QVERIFY(child<QLineEdit>(screen, "txtKeyword")->text().isEmpty());
        QCOMPARE(child<QComboBox>(screen, "cboActionConnection")->currentText(), QStringLiteral("Airtel"));
        QCOMPARE(items(keywords), QStringList{QStringLiteral("join")});

        // Save Key Action takes the form as it stands and keeps showing it.
        child<QRadioButton>(screen, "optAdd")->click();
        reply->setPlainText(QStringLiteral("Welcome"));
        child<QPushButton>(screen, "cmdSave")->click();
        QCOMPARE(answer(QStringLiteral("Keyword details has been updated!")), screen);
        QCOMPARE(db().scalar(QStringLiteral("SELECT group_name || '|' || auto_reply_response FROM auto_reply")).toString(),
                 QStringLiteral("Friends|Welcome"));
        QVERIFY(child<QRadioButton>(screen, "optAdd")->isChecked());

        // A failed check puts the cursor where the fault is.
        reply->clear();
        child<QPushButton>(screen, "cmdSave")->click();
        QCOMPARE(answer(QStringLiteral("You should specify some reply message.")), screen);
        QCOMPARE(screen->focusWidget(), reply);

        // Delete Keyword, once asked.
        child<QPushButton>(screen, "cmdDelete")->click();
        QCOMPARE(answer(QStringLiteral("Are you sure to delete keyword join?")), screen);
        QCOMPARE(answer(QStringLiteral("Keyword has been deleted.")), screen);
        QCOMPARE(keywords->currentText(), QStringLiteral("No More Keywords"));
    }

    void aQuestionLeftOpenByAClosedScreenDeletesNothing()
    {
        db().exec(QStringLiteral("INSERT INTO auto_reply (auto_reply_keyword, com_port) VALUES ('stop', 'COM1')"));
        AutoReplyWindow *screen = openWithAirtel();
        QVERIFY(screen);
        QVERIFY(choose(child<QComboBox>(screen, "cboActionConnection"), QStringLiteral("Airtel")));
        child<QPushButton>(screen, "cmdDelete")->click();
        QPointer<QMessageBox> box = test::Boxes::waitFor(QStringLiteral("Are you sure to delete keyword stop?"));
        QVERIFY(box);
        frame()->closeAllSubWindows();
        QTRY_VERIFY(!box);
        test::Boxes::settle();
        QCOMPARE(db().scalar(QStringLiteral("SELECT count(*) FROM auto_reply")).toInt(), 1);
    }

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
    // "Connected: N" opens the health window; it shows what the last reads
    // found and follows each new one, and says when a port's own rows wait.
    void portHealthShownAndRefreshed()
    {
        QVERIFY(start());
        AppState &state = program().app.state();
        PortState &com2 = state.port(1);
        com2.deviceClass = QStringLiteral("GSM");
        com2.connected = com2.routing = true;
        PortHealth health;
        health.imei = QStringLiteral("356938035643809");
        health.operatorName = QStringLiteral("Airtel");
        health.hasSignal = true;
        health.signalDbm = -73;
        health.bars = 5;
        health.registration = Registration::Home;
        state.setPortHealth(1, health);
        QTest::mouseClick(window().connectedPanel(), Qt::LeftButton);
        auto *screen = qobject_cast<PortHealthWindow *>(frame()->activeSubWindow()->widget());
        QVERIFY(screen);
        const auto row = [screen] {
            QStringList cells;
            for (int c = 0; c < screen->table()->columnCount(); ++c)
                cells << screen->table()->item(0, c)->text();
            return cells.join(QLatin1Char('|'));
        };
        QCOMPARE(screen->table()->rowCount(), 1);
        QCOMPARE(row(), QStringLiteral("COM2 (GSM)|-73 dBm  ▮▮▮▮▮|home|Airtel|356938035643809|||"));

        QVERIFY(store().queue().addToQueue(QStringLiteral("9876543210"), QStringLiteral("x"), QStringLiteral("COM2")));
        health.signalDbm = -101;
        health.bars = 2;
        health.registration = Registration::Denied;
        state.setPortHealth(1, health);
        QCOMPARE(row(), QStringLiteral("COM2 (GSM)|-101 dBm  ▮▮▯▯▯|denied|Airtel|356938035643809|||"
                                       "not registered; Auto goes to other ports (1 messages for this port wait)"));
    }

    void pduChoiceIsForGsmTypesOnly()
    {
        db().exec(QStringLiteral("UPDATE config_ports SET portActive = 1, systemPortNo = 'ttyS0', "
                                 "deviceType = 'GSM Modem - Other', mobileOperator = 'Jio', pduMode = 1 "
                                 "WHERE softwarePortNo = 'COM3'"));
        auto screen = makeScreen();
        QVERIFY(!screen->portTab(0).pduMode->isChecked() && !screen->portTab(0).pduMode->isEnabled()); // inactive
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

        // The listener's fields and the request count go with Update Settings.
        QCOMPARE(child<QLineEdit>(screen.get(), "txtAllowedNetworks")->text(), AllowedNetworks::kDefault);
        child<QSpinBox>(screen.get(), "spnParallelRequests")->setValue(5);
        child<QLineEdit>(screen.get(), "txtListenAddress")->setText(QStringLiteral("127.0.0.2"));
        child<QLineEdit>(screen.get(), "txtAllowedNetworks")->setText(QStringLiteral("127.0.0.0/8"));
        child<QPushButton>(screen.get(), "cmdUpdate")->click();
        QVERIFY(answer(QStringLiteral("COM Ports Updated")));
        const NetworkSettings saved = NetworkSettings::load(db());
        QCOMPARE(QStringList({QString::number(saved.parallelRequests), saved.listenAddress, saved.allowedNetworks}),
                 QStringList({"5", "127.0.0.2", "127.0.0.0/8"}));
    }
};

QTEST_MAIN(TestModemScreens)
#include "tst_modemscreens.moc"
