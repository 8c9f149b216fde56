// tavsms-modemsim as a process: lines typed on its standard input change the
// simulated phone while a program is connected to its link.
#include "Wait.h"
#include "SmsPdu.h"

#include <QDateTime>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSerialPort>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <unistd.h>

namespace {

// One simulator process with its link in a private directory.
struct SimulatorProcess
{
    QTemporaryDir dir;
    QProcess process;
    QByteArray output;

    QString link() const { return dir.filePath(QStringLiteral("dev")); }

    bool start(const std::function<void()> &childSetUp = {}, bool quiet = true, const QStringList &options = {})
    {
        QObject::connect(&process, &QProcess::readyReadStandardOutput,
                         [this] { output += process.readAllStandardOutput(); });
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        if (childSetUp)
            process.setChildProcessModifier(childSetUp);
        QStringList arguments{QStringLiteral("--link"), link()};
        if (quiet)
            arguments << QStringLiteral("--quiet");
        arguments << options;
        process.start(QStringLiteral(TAVSMS_MODEMSIM_BINARY), arguments);
        return process.waitForStarted(5000) && tavsms::test::waitFor([this] { return QFileInfo(link()).exists(); });
    }

    void type(const QByteArray &line) { process.write(line + '\n'); }

    // Waits for the simulator's stdout to contain `text`.
    bool said(const QByteArray &text)
    {
        return tavsms::test::waitFor([&] { return output.contains(text); });
    }

    ~SimulatorProcess()
    {
        if (process.state() != QProcess::NotRunning) {
            process.terminate();
            if (!process.waitForFinished(5000))
                process.kill();
        }
    }
};

// The link opened the way the program opens a port.
std::unique_ptr<QSerialPort> openLink(const QString &path)
{
    auto port = std::make_unique<QSerialPort>(path);
    port->setBaudRate(QSerialPort::Baud115200);
    if (!port->open(QIODevice::ReadWrite))
        return nullptr;
    // A pseudo-terminal refuses the modem-control calls; reads and writes work.
    port->clearError();
    return port;
}

// Sends a command (or, ended by Ctrl-Z, a PDU after its prompt) and
// collects the answer up to its final result (OK, or a line with ERROR), or
// up to `end`.
QByteArray ask(QSerialPort &port, const QByteArray &command, const QByteArray &end = {})
{
    port.readAll();
    port.write(command.endsWith('\x1A') ? command : command + '\r');
    QByteArray answer;
    (void)tavsms::test::waitFor([&] {
        answer += port.readAll();
        if (!end.isEmpty())
            return answer.contains(end);
        const qsizetype error = answer.indexOf("ERROR");
        return answer.contains("\r\nOK\r\n") || (error >= 0 && answer.indexOf("\r\n", error) > 0);
    });
    return answer;
}

// A count from the process's /proc file `file`: how often it has read, or
// gone to sleep waiting for something to do.
long long processCount(qint64 pid, const char *file, const QByteArray &field)
{
    QFile f(QStringLiteral("/proc/%1/%2").arg(pid).arg(QLatin1String(file)));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : f.readAll().split('\n'))
        if (line.startsWith(field + ':'))
            return line.mid(field.size() + 1).trimmed().toLongLong();
    return -1;
}

} // namespace

class TestModemSimProgram : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void typedMessagesArriveWhileConnected()
    {
        SimulatorProcess sim;
        QVERIFY(sim.start());
        sim.type("sms +919000000001 Hello there");
        QVERIFY2(sim.said("message 1 from +919000000001 at "), sim.output.constData());

        const auto port = openLink(sim.link());
        QVERIFY(port);
        const QByteArray listing = ask(*port, "AT+CMGL=\"ALL\"");
        static const QRegularExpression entry(QStringLiteral(
            R"(\r\n\+CMGL: 1,"REC UNREAD","\+919000000001",,"(\d\d/\d\d/\d\d,\d\d:\d\d:\d\d)\+22"\r\nHello there\r\n)"));
        const QRegularExpressionMatch match = entry.match(QString::fromLatin1(listing));
        QVERIFY2(match.hasMatch(), listing.constData());
        QVERIFY(listing.endsWith("\r\nOK\r\n"));
        // Stamped when it was typed.
        const QDateTime stamp = QDateTime::fromString(match.captured(1), QStringLiteral("yy/MM/dd,HH:mm:ss")).addYears(100);
        QVERIFY2(qAbs(stamp.secsTo(QDateTime::currentDateTime())) < 60, qPrintable(match.captured(1)));

        // Another one while the link is open; the first is read by now.
        sim.type("sms 12345 second   one");
        QVERIFY(sim.said("message 2 from 12345"));
        const QByteArray again = ask(*port, "AT+CMGL=\"ALL\"");
        QVERIFY2(again.contains("+CMGL: 1,\"REC READ\",\"+919000000001\""), again.constData());
        QVERIFY2(again.contains("+CMGL: 2,\"REC UNREAD\",\"12345\""), again.constData());
        QVERIFY(again.contains("\r\nsecond   one\r\n"));

        QCOMPARE(ask(*port, "AT+CMGD=1").right(6), QByteArray("\r\nOK\r\n"));
        sim.type("inbox");
        // Listed once, so read; the deleted one is gone.
        QVERIFY2(sim.said("  2  12345 "), sim.output.constData());
        QVERIFY2(sim.said("  read    second   one\n"), sim.output.constData());
        QVERIFY(!sim.output.contains("  1  +919000000001 "));

        sim.type("quit");
        QVERIFY(sim.process.waitForFinished(5000));
        QCOMPARE(sim.process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(sim.process.exitCode(), 0);
        QVERIFY(!QFileInfo(sim.link()).isSymLink());
    }

    void badLinesAndTheEndOfInputLeaveItRunning()
    {
        SimulatorProcess sim;
        QVERIFY(sim.start());
        sim.type("frobnicate now");
        sim.type("sms +919000000001");
        sim.type("sms \"x\" quoted sender");
        sim.type("sms 98,76 sender with a comma");
        sim.type("help");
        QVERIFY2(sim.said("quit                 remove the link and end\n"), sim.output.constData()); // the help, last
        QVERIFY(sim.output.contains("unknown command 'frobnicate'; type help for the list\n"));
        QVERIFY(sim.output.contains("usage: sms SENDER TEXT...\n"));
        QCOMPARE(sim.output.count("without quotes or commas\n"), 2); // either would split the listing's fields

        sim.process.closeWriteChannel();
        const auto port = openLink(sim.link());
        QVERIFY(port);
        QCOMPARE(ask(*port, "AT"), QByteArray("AT\r\r\nOK\r\n"));
        QVERIFY(ask(*port, "AT+CMGL=\"ALL\"").startsWith("AT+CMGL=\"ALL\"\r\r\n\r\nOK")); // nothing was added
        // At the end of its input it stops reading it: a command costs a
        // read or two, never turns of its loop on an input that is over.
        const qint64 pid = sim.process.processId();
        const long long reads = processCount(pid, "io", "syscr");
        constexpr int kCommands = 20;
        for (int i = 0; i < kCommands; ++i)
            QCOMPARE(ask(*port, "AT"), QByteArray("AT\r\r\nOK\r\n"));
        const long long read = processCount(pid, "io", "syscr") - reads;
        QVERIFY2(reads >= 0 && read < 3 * kCommands, qPrintable(QStringLiteral("%1 reads").arg(read)));
        QCOMPARE(sim.process.state(), QProcess::Running);
    }

    void pduModeFromTheCommandLine()
    {
        SimulatorProcess sim;
        QVERIFY(sim.start({}, false, {QStringLiteral("--pdu"), QStringLiteral("--refuse-part"), QStringLiteral("2=1")}));
        QVERIFY(sim.said("GSM (PDU mode) on "));
        sim.type(QStringLiteral("sms +919000000001 नमस्ते दुनिया").toUtf8());
        QVERIFY2(sim.said("message 1 from +919000000001 at "), sim.output.constData());
        const auto port = openLink(sim.link());
        QVERIFY(port);
        QVERIFY(ask(*port, "AT+CMGL=4").contains("ERROR")); // text mode until asked
        QVERIFY(ask(*port, "AT+CMGF=0").endsWith("\r\nOK\r\n"));

        // The message is listed as an SMS-DELIVER the program's codec reads.
        const QByteArray listing = ask(*port, "AT+CMGL=4");
        static const QRegularExpression entry(QStringLiteral(R"(\r\n\+CMGL: 1,0,,\d+\r\n([0-9A-F]+)\r\n)"));
        const QRegularExpressionMatch match = entry.match(QString::fromLatin1(listing));
        QVERIFY2(match.hasMatch(), listing.constData());
        const auto message = tavsms::SmsPdu::decodeDeliver(match.captured(1).toLatin1());
        QVERIFY(message);
        QCOMPARE(message->number, QStringLiteral("+919000000001"));
        QCOMPARE(message->text, QStringLiteral("नमस्ते दुनिया"));

        // Two parts, the second refused once: "SENT" comes once, when both are in.
        const QString text = QStringLiteral("आपका ऑर्डर भेज दिया गया है। ").repeated(4);
        const auto parts = tavsms::SmsPdu::encodeSubmit(QStringLiteral("9876543210"), text, 42);
        QCOMPARE(parts.size(), 2);
        const auto sendPart = [&](const tavsms::SmsPdu::SubmitPdu &part) {
            if (!ask(*port, "AT+CMGS=" + QByteArray::number(part.tpduLength), "> ").contains("> "))
                return QByteArray("no prompt");
            return ask(*port, part.hex + '\x1A');
        };
        QVERIFY(sendPart(parts.at(0)).contains("+CMGS: "));
        QVERIFY(sendPart(parts.at(1)).contains("+CMS ERROR: 500"));
        QVERIFY(!sim.output.contains("SENT"));
        QVERIFY(sendPart(parts.at(1)).contains("+CMGS: "));
        QVERIFY2(sim.said(QStringLiteral("SENT to 9876543210: %1\n").arg(text).toUtf8()), sim.output.constData());
        // A length that is not the PDU's is refused.
        QVERIFY(ask(*port, "AT+CMGS=" + QByteArray::number(parts.at(0).tpduLength + 1), "> ").contains("> "));
        QVERIFY(ask(*port, parts.at(0).hex + '\x1A').contains("+CMS ERROR: 304"));
        QCOMPARE(sim.output.count("SENT to"), 1);
    }

    void startedWithStandardInputAndOutputClosed()
    {
        SimulatorProcess sim;
        QVERIFY(sim.start(
            [] {
                ::close(STDIN_FILENO);
                ::close(STDOUT_FILENO);
            },
            false));
        const auto port = openLink(sim.link());
        QVERIFY(port);
        // Every command reaches the phone and is answered, with nothing
        // meant for the operator in between.
        for (int i = 0; i < 3; ++i)
            QCOMPARE(ask(*port, "AT"), QByteArray("AT\r\r\nOK\r\n"));
        QCOMPARE(sim.process.state(), QProcess::Running);
        sim.process.terminate();
        QVERIFY(sim.process.waitForFinished(5000));
        QCOMPARE(sim.process.exitCode(), 0);
        QVERIFY(!QFileInfo(sim.link()).isSymLink());
    }
};

QTEST_GUILESS_MAIN(TestModemSimProgram)
#include "tst_modemsimprogram.moc"
