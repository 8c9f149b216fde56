// debug.txt: created when missing, appended, never truncated, one CR LF line per event.
#include "DebugLog.h"
#include "TestDataDirectory.h"

#include <QFile>
#include <QRegularExpression>
#include <QTest>

using namespace tavsms;

class TestDebugLog : public QObject
{
    Q_OBJECT

    static QByteArray read(const QString &path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

private Q_SLOTS:
    void createsAppendsAndNeverTruncates()
    {
        test::TestDataDirectory dir;
        const QString path = dir.root() + QStringLiteral("/debug.txt");
        {
            DebugLog log;
            QCOMPARE(log.open(path), QString());
            log.writeLine(QStringLiteral("first"));
        }
        QCOMPARE(read(path), QByteArray("first\r\n"));
        {
            DebugLog log;
            QCOMPARE(log.open(path), QString());
            log.writeEvent(QStringLiteral(" Activating COM1 - "));
            // Readable while the program still runs: each line is flushed.
            const QByteArray now = read(path);
            QVERIFY2(QRegularExpression(QStringLiteral("^first\\r\\n\\d{1,2}/\\d{1,2}/\\d{4} \\d{1,2}:\\d{2}:\\d{2} [AP]M "
                                                       "Activating COM1 - \\r\\n$"))
                         .match(QString::fromUtf8(now))
                         .hasMatch(),
                     now.constData());
        }
    }

    // A value carrying a line break cannot start a line of its own: CR and
    // LF inside a line are written as the two characters \r and \n.
    void lineBreaksInsideALineAreWrittenVisibly()
    {
        test::TestDataDirectory dir;
        const QString path = dir.root() + QStringLiteral("/debug.txt");
        DebugLog log;
        QCOMPARE(log.open(path), QString());
        log.writeLine(QStringLiteral("Message= a\r\n10/1/2024 1:00:00 PM forged\rb\nc\\n"));
        log.writeEvent(QStringLiteral(" Push URL Response - one\ntwo"));
        const QList<QByteArray> lines = read(path).split('\n');
        QCOMPARE(lines.size(), 3); // two lines and nothing after the last break
        QCOMPARE(lines[0], QByteArray("Message= a\\r\\n10/1/2024 1:00:00 PM forged\\rb\\nc\\n\r"));
        QVERIFY2(lines[1].endsWith(" Push URL Response - one\\ntwo\r"), lines[1].constData());
        QVERIFY(lines[2].isEmpty());
    }

    void unopenableLogSaysWhy()
    {
        test::TestDataDirectory dir;
        DebugLog log;
        const QString why = log.open(dir.root() + QStringLiteral("/no/such/dir/debug.txt"));
        QVERIFY(!why.isEmpty());
        QVERIFY(why.contains(QStringLiteral("debug.txt")));
        log.writeLine(QStringLiteral("ignored")); // no crash while closed
    }
};

QTEST_GUILESS_MAIN(TestDebugLog)
#include "tst_debuglog.moc"
