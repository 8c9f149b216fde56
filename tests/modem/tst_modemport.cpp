// What a port keeps of its input, over a real pseudo-terminal whose far end
// writes from a thread of its own: idle ports drop what nobody asked for, a
// dialogue holds at most the cap of one answer, and a wait looks at each
// byte once.
#include "AppState.h"
#include "AtDialogue.h"
#include "DebugLog.h"
#include "ModemPort.h"
#include "ModemRig.h"
#include "PtyDevice.h"
#include "TestDataDirectory.h"

#include <QFile>
#include <QTest>

using namespace tavsms;
using namespace tavsms::test;
using AtDialogue::Outcome;
using namespace std::chrono_literals;

namespace {

QByteArray noise()
{
    // Unsolicited lines, and bytes that are no lines at all.
    QByteArray bytes = "\r\nRING\r\n\r\n+CMTI: \"SM\",3\r\n";
    for (int i = 0; bytes.size() < 4096; ++i)
        bytes += char('!' + i % 90);
    return bytes;
}

} // namespace

class TestModemPort : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestDataDirectory> m_dir;
    std::unique_ptr<PtyDevice> m_device;
    std::unique_ptr<ModemPort> m_port;
    DebugLog m_log;
    AppState m_state;

    QString logText() const
    {
        QFile f(m_log.path());
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    }
    int dropLines() const
    {
        return int(logText().count(
            QStringLiteral(" COM1 - more than 65536 bytes in one answer; the oldest were dropped\r\n")));
    }

private Q_SLOTS:
    void init()
    {
        m_dir = std::make_unique<TestDataDirectory>();
        QVERIFY(m_log.open(m_dir->root() + QStringLiteral("/debug.txt")).isEmpty());
        m_device = std::make_unique<PtyDevice>();
        const QString link = m_dir->root() + QStringLiteral("/ttyNOISE");
        QVERIFY2(m_device->open(link), qPrintable(m_device->errorString()));
        m_port = std::make_unique<ModemPort>(QStringLiteral("COM1"));
        m_port->setDebugLog(&m_log);
        QCOMPARE(m_port->open(link), QString());
    }
    void cleanup()
    {
        m_port.reset();
        m_device.reset();
        m_log.close();
        m_dir.reset();
    }

    void idlePortKeepsNothingOfAFlood()
    {
        constexpr qint64 kFlood = 16 * 1024 * 1024;
        // What the port holds, looked at as the flood goes.
        qsizetype most = 0;
        const auto floodThrough = [&] {
            return waitFor(
                [&] {
                    most = qMax(most, m_port->heldBytes());
                    return m_device->floodDone();
                },
                60000);
        };
        m_device->startFlood(noise(), kFlood);
        QVERIFY2(floodThrough(), "the flood did not get through");
        QCOMPARE(most, 0); // not even up to the cap: nobody was going to read it
        QCOMPARE(dropLines(), 0); // nobody was waiting for any of it

        // Held before its first command (a sender tick with nothing to
        // send) the port keeps nothing either. After a command it keeps at
        // most the cap, and what is left when the dialogue lets go goes too.
        {
            QVERIFY(finish(m_port->acquire()));
            PortHold hold(*m_port);
            m_device->startFlood(noise(), 1024 * 1024);
            QVERIFY(floodThrough());
            QCOMPARE(most, 0);

            QVERIFY(AtDialogue::writeCommand(*m_port, QStringLiteral("AT+CMGL=\"ALL\"")));
            m_device->startFlood(noise(), 1024 * 1024);
            QVERIFY(floodThrough());
            WAIT_COMPARE(m_port->heldBytes(), ModemPort::kInputCap);
            QCOMPARE(dropLines(), 1);
        }
        QCOMPARE(m_port->heldBytes(), 0);
    }

    void answerAfterAnEndlessLineIsFound_data()
    {
        QTest::addColumn<bool>("prompt");
        QTest::addColumn<QByteArray>("tail");
        QTest::addColumn<Outcome>("outcome");
        QTest::newRow("OK") << false << QByteArray("\r\nOK\r\n") << Outcome::Ok;
        QTest::newRow("error line") << false << QByteArray("\r\n+CMS ERROR: 500\r\n") << Outcome::Error;
        QTest::newRow("prompt") << true << QByteArray("\r\n> ") << Outcome::Prompt;
    }
    void answerAfterAnEndlessLineIsFound()
    {
        QFETCH(bool, prompt);
        QFETCH(QByteArray, tail);
        QFETCH(Outcome, outcome);
        // Four megabytes without a line end (a line that is no terminator
        // even where it reads "OK" or "> "), then the answer.
        constexpr qint64 kFlood = 4 * 1024 * 1024;
        QVERIFY(finish(m_port->acquire()));
        PortHold hold(*m_port);
        QVERIFY(AtDialogue::writeCommand(*m_port, prompt ? QStringLiteral("AT+CMGS=\"1\"") : QStringLiteral("AT")));
        m_device->startFlood(QByteArray("x> OK ERROR ").repeated(300), kFlood, tail);
        QCoro::Task<AtDialogue::Reply> wait = prompt ? AtDialogue::waitForPrompt(*m_port, m_state, 60s)
                                                     : AtDialogue::waitForReply(*m_port, m_state, 60s);
        const std::optional<AtDialogue::Reply> reply = finish(std::move(wait), 60000);
        QVERIFY(reply);

        QCOMPARE(reply->outcome, outcome);
        QVERIFY(reply->text.endsWith(QString::fromLatin1(tail)));
        QCOMPARE(reply->text.size(), ModemPort::kInputCap);
        // No byte looked at twice (and the port held no more than the cap meanwhile).
        QVERIFY2(reply->scanned <= kFlood + tail.size() && reply->scanned > kFlood / 2,
                 qPrintable(QString::number(reply->scanned)));
        QCOMPARE(dropLines(), 1); // one line for the whole answer, not one per chunk
    }
};

QTEST_GUILESS_MAIN(TestModemPort)
#include "tst_modemport.moc"
