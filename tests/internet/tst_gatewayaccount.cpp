// "Check Balance", the Internet tab's "Apply", "Check for Updates" and the
// one-at-a-time HTTP client they share, against a fake gateway.
#include "AppInfo.h"
#include "GatewayAccount.h"
#include "GatewayAccountRecord.h"
#include "GatewayFixture.h"
#include "RecordingPrompter.h"
#include "Wait.h"

#include <QCoroTask>

using namespace tavsms;
using namespace std::chrono_literals;
using Reply = test::FakeGateway::Reply;
using QCoro::waitFor;

class TestGatewayAccount : public QObject
{
    Q_OBJECT

    std::unique_ptr<test::GatewayFixture> f;
    test::RecordingPrompter m_prompter;
    std::unique_ptr<GatewayAccount> m_account;

    GatewayAccountRecord stored() { return GatewayAccountRecord::load(f->store.db()); }
    // Apply, with its box shown as the settings screen shows it.
    GatewayAccount::ApplyResult applyAndShow(const QString &username, std::optional<QString> password)
    {
        const GatewayAccount::ApplyResult result = waitFor(m_account->apply(username, std::move(password)));
        m_prompter.show(result.notice);
        return result;
    }
    void expectOnly(Prompter::Icon icon, const QString &title, const QString &text)
    {
        QCOMPARE(m_prompter.count(), 1);
        const auto e = m_prompter.entries().first();
        QCOMPARE(e.title, title);
        QCOMPARE(e.text, text);
        QCOMPARE(e.icon, icon);
    }

    QCoro::Task<void> fetch(int i, QList<QString> *answers)
    {
        const QUrl url = HttpClient::url(f->gateway.host(), QStringLiteral("/x"), {{"n", QString::number(i)}});
        answers->append((co_await f->client->get(url)).body);
    }

private Q_SLOTS:
    void init()
    {
        f = std::make_unique<test::GatewayFixture>();
        m_prompter.clear();
        m_account = std::make_unique<GatewayAccount>(f->store.db(), *f->client, m_prompter);
    }
    void cleanup()
    {
        m_account.reset();
        f.reset();
    }

    void balanceIsShownWithLineBreaks()
    {
        f->gateway.replyWith("Credits: 120<br>Valid till: 1/1/2027");
        waitFor(m_account->checkBalance());
        expectOnly(Prompter::Icon::Information, QStringLiteral("Balance Report"),
                   QStringLiteral("Credits: 120\rValid till: 1/1/2027"));
        const auto &req = f->gateway.requests().first();
        QCOMPARE(req.path, QStringLiteral("/crinfo/crinfo.asp"));
        // Sent as stored, untrimmed.
        QCOMPARE(req.query.value(QStringLiteral("userid")), QStringLiteral(" User "));
        QCOMPARE(req.query.value(QStringLiteral("pwd")), QStringLiteral(" Pw "));
    }

    void balanceWithoutAGatewaySaysSo()
    {
        f->gateway.stop();
        waitFor(m_account->checkBalance());
        expectOnly(Prompter::Icon::Critical, QStringLiteral("Error"),
                   QStringLiteral("Please check your internet connection and be sure that you have configured "
                                  "internet sms acccount from Configure>Internet SMS."));
    }

    void applyFetchesSenderIdsAndActivates()
    {
        f->store.db().exec(QStringLiteral("UPDATE config_InternetSMS SET TAVisActive = 0"));
        f->gateway.replyWith("Sender IDs<br> CDMA ID : 9212 <br>GSM ID:TAVSMS:extra\r\n");
        const auto result = applyAndShow(QStringLiteral(" MyUser "), QStringLiteral(" Secret "));
        QVERIFY(result.activated);
        QCOMPARE(result.cdmaId, QStringLiteral("9212"));
        QCOMPARE(result.gsmId, QStringLiteral("TAVSMS"));
        expectOnly(Prompter::Icon::Information, QStringLiteral("Success!"), QStringLiteral("Settings has been changed."));
        const auto &req = f->gateway.requests().first();
        QCOMPARE(req.path, QStringLiteral("/mess/syncids.asp"));
        QCOMPARE(req.query.value(QStringLiteral("userid")), QStringLiteral("myuser"));
        QCOMPARE(req.query.value(QStringLiteral("pwd")), QStringLiteral("secret"));
        const GatewayAccountRecord acc = stored();
        QCOMPARE(acc.username, QStringLiteral("MyUser")); // the operator's case is kept
        QCOMPARE(acc.password, QStringLiteral("Secret"));
        QCOMPARE(acc.cdmaId, QStringLiteral("9212"));
        QCOMPARE(acc.gsmId, QStringLiteral("TAVSMS"));
        QVERIFY(acc.active);
    }

    void applyWithTheUntouchedPlaceholderUsesTheStoredPassword()
    {
        f->gateway.replyWith("x<br>a:1<br>b:2");
        QVERIFY(applyAndShow(QStringLiteral("User"), std::nullopt).activated);
        QCOMPARE(f->gateway.requests().first().query.value(QStringLiteral("pwd")), QStringLiteral("pw"));
        QCOMPARE(stored().password, QStringLiteral("Pw"));
    }

    // A refused login switches the account off; a reply that cannot be
    // read, or none, changes nothing. No failure activates the account.
    void applyThatFailsNeverActivates_data()
    {
        QTest::addColumn<QByteArray>("reply"); // null: no gateway
        QTest::addColumn<QString>("said");
        const QString wrong = QStringLiteral("Error Occured!! Username or Password is incorrect.");
        const QString unread = QStringLiteral("has not been activated");
        QTest::newRow("no match") << QByteArray(" Username and Password does not match.\r\n") << wrong;
        QTest::newRow("no such user") << QByteArray("Username does not exists.") << wrong;
        QTest::newRow("two lines") << QByteArray("only<br>two:lines") << unread;
        QTest::newRow("no colon, second") << QByteArray("a<br>no colon<br>gsm:1") << unread;
        QTest::newRow("no colon, third") << QByteArray("a<br>cdma:1<br>no colon") << unread;
        QTest::newRow("empty") << QByteArray("") << unread;
        QTest::newRow("no ID") << QByteArray("a<br>cdma:<br>gsm:1") << unread;
        QTest::newRow("unreachable") << QByteArray() << GatewayAccount::connectionErrorText();
    }
    void applyThatFailsNeverActivates()
    {
        QFETCH(QByteArray, reply);
        QFETCH(QString, said);
        // Active before a refusal, to see it switched off; inactive before the others.
        f->store.db().exec(QStringLiteral("UPDATE config_InternetSMS SET TAVisActive = ?"), {said.startsWith("Error")});
        if (reply.isNull())
            f->gateway.stop();
        else
            f->gateway.replyWith(reply);
        QVERIFY(!applyAndShow(QStringLiteral("new"), QStringLiteral("pw")).activated);
        QCOMPARE(m_prompter.count(), 1);
        QCOMPARE(m_prompter.entries().first().icon, Prompter::Icon::Critical);
        QVERIFY2(m_prompter.entries().first().text.contains(said), qPrintable(m_prompter.dump()));
        QVERIFY(!stored().active);
        QCOMPARE(stored().username, QStringLiteral(" User ")); // nothing else written
    }

    void updateCheckComparesTheVersionExactly()
    {
        f->gateway.replyWith(AppInfo::version().toUtf8());
        waitFor(m_account->checkForUpdates());
        expectOnly(Prompter::Icon::Information, QStringLiteral("Update Report"),
                   QStringLiteral("Your software is upto date!"));
        QCOMPARE(f->gateway.requests().first().path, QStringLiteral("/software/currentversion.html"));

        m_prompter.clear();
        f->gateway.replyWith(AppInfo::version().toUtf8() + "<br>");
        waitFor(m_account->checkForUpdates());
        expectOnly(Prompter::Icon::Information, QStringLiteral("Update Report"),
                   QStringLiteral("Your Software Version: ") + AppInfo::version() + QStringLiteral("\rAvailable Version: ")
                       + AppInfo::version()
                       + QStringLiteral("\r\r\rNew update is available for you. Please visit our website to download."));
    }

    void updateCheckNeedsAPlainOkStatus_data()
    {
        QTest::addColumn<int>("status"); // 0: nobody answers
        QTest::addColumn<QByteArray>("reason");
        QTest::newRow("404") << 404 << QByteArray("Not Found");
        QTest::newRow("200, not OK") << 200 << QByteArray("Fine");
        QTest::newRow("unreachable") << 0 << QByteArray();
    }
    void updateCheckNeedsAPlainOkStatus()
    {
        QFETCH(int, status);
        QFETCH(QByteArray, reason);
        f->gateway.setHandler([=](const test::FakeGateway::Request &) { return Reply{status, reason, "2.0.0"}; });
        if (!status)
            f->gateway.stop();
        waitFor(m_account->checkForUpdates());
        expectOnly(Prompter::Icon::Critical, QStringLiteral("Error"), GatewayAccount::connectionErrorText());
    }

    void requestsRunOneAtATimeInTheirOrder()
    {
        f->gateway.setHandler([](const test::FakeGateway::Request &r) {
            return Reply{200, "OK", r.rawQuery, 20};
        });
        QList<QString> answers;
        std::vector<QCoro::Task<void>> tasks;
        for (int i = 0; i < 4; ++i)
            tasks.push_back(fetch(i, &answers));
        QVERIFY(f->client->isBusy());
        QCOMPARE(f->client->waiting(), 3);
        WAIT_COMPARE(answers.size(), 4);
        QCOMPARE(answers, (QList<QString>{QStringLiteral("n=0"), QStringLiteral("n=1"), QStringLiteral("n=2"),
                                          QStringLiteral("n=3")}));
        QCOMPARE(f->gateway.mostOpenAtOnce(), 1);
        QVERIFY(!f->client->isBusy());
    }
};

QTEST_GUILESS_MAIN(TestGatewayAccount)
#include "tst_gatewayaccount.moc"
