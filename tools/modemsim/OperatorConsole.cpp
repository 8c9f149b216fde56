#include "OperatorConsole.h"

#include "ModemSimulator.h"

#include <QDateTime>
#include <QHash>
#include <QRegularExpression>
#include <QSocketNotifier>

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace tavsms::sim {

namespace {
const QString kStampFormat = QStringLiteral("yy/MM/dd HH:mm:ss");
// The CDMA listing gives the sender's length in one hex digit; the GSM one
// puts the sender between quotes in a comma-separated header.
constexpr int kMaxSender = 15;
} // namespace

OperatorConsole::OperatorConsole(ModemSimulator &sim, Output output, QObject *parent)
    : QObject(parent)
    , m_sim(sim)
    , m_output(std::move(output))
{
}

void OperatorConsole::listen(int fd)
{
    m_fd = fd;
    delete m_notifier;
    m_notifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &OperatorConsole::onReadable);
}

QStringList OperatorConsole::helpText()
{
    return {QStringLiteral("commands:"),
            QStringLiteral("  sms SENDER TEXT...   a message from SENDER arrives now (unread)"),
            QStringLiteral("  pdu HEX              a message stored as exactly this PDU arrives (with --pdu)"),
            QStringLiteral("  inbox                the messages in the phone"),
            QStringLiteral("  signal RSSI          AT+CSQ's signal from now on (0-31, 99 unknown)"),
            QStringLiteral("  register STATE       home, roaming, searching, denied or none"),
            QStringLiteral("  report delay MS      status reports come MS after the part (hold: kept until released)"),
            QStringLiteral("  report status ST     the TP-ST of the reports from now on (0 delivered, 64+ failed)"),
            QStringLiteral("  report release       sends the held reports, newest first"),
            QStringLiteral("  reference MR         the message reference the next send gets (0-255)"),
            QStringLiteral("  help                 this list"),
            QStringLiteral("  quit                 remove the link and end")};
}

void OperatorConsole::onReadable()
{
    // One read per notice: the notifier said there is something, so this
    // read does not block, and no flag on the shared descriptor is changed.
    char chunk[4096];
    const ssize_t n = ::read(m_fd, chunk, sizeof chunk);
    if (n > 0) {
        m_buffer.append(chunk, n);
        runBufferedLines(false);
        return;
    }
    if (n < 0 && (errno == EINTR || errno == EAGAIN))
        return;
    if (n < 0)
        m_output(QStringLiteral("commands are off: standard input: %1").arg(QString::fromLocal8Bit(std::strerror(errno))));
    runBufferedLines(true);
    // A terminal can be typed on again after Ctrl-D; a pipe or file at its
    // end would only wake the notifier again and again.
    if (n < 0 || !::isatty(m_fd))
        m_notifier->setEnabled(false);
}

void OperatorConsole::runBufferedLines(bool includingPartial)
{
    for (;;) {
        qsizetype end = m_buffer.indexOf('\n');
        if (end < 0) {
            if (!includingPartial || m_buffer.isEmpty())
                return;
            end = m_buffer.size();
        }
        const QString line = QString::fromLocal8Bit(m_buffer.left(end));
        m_buffer.remove(0, end + 1);
        for (const QString &answer : run(line))
            m_output(answer);
    }
}

QStringList OperatorConsole::run(const QString &line)
{
    const QString trimmed = line.trimmed();
    if (trimmed.isEmpty())
        return {};
    const qsizetype gap = trimmed.indexOf(QRegularExpression(QStringLiteral("\\s")));
    const QString command = trimmed.left(gap).toLower();
    const QString arguments = gap < 0 ? QString() : trimmed.mid(gap).trimmed();
    if (command == QLatin1String("sms"))
        return addMessage(arguments);
    if (command == QLatin1String("pdu"))
        return addPdu(arguments);
    if (command == QLatin1String("inbox"))
        return listInbox();
    if (command == QLatin1String("signal") || command == QLatin1String("register")
        || command == QLatin1String("report") || command == QLatin1String("reference"))
        return setNetwork(command, arguments.toLower());
    if (command == QLatin1String("help"))
        return helpText();
    if (command == QLatin1String("quit")) {
        Q_EMIT quitRequested();
        return {};
    }
    return {QStringLiteral("unknown command '%1'; type help for the list").arg(command)};
}

QStringList OperatorConsole::addMessage(const QString &arguments)
{
    const qsizetype gap = arguments.indexOf(QRegularExpression(QStringLiteral("\\s")));
    const QString sender = arguments.left(gap);
    const QString text = gap < 0 ? QString() : arguments.mid(gap).trimmed();
    if (sender.isEmpty() || text.isEmpty())
        return {QStringLiteral("usage: sms SENDER TEXT...")};
    if (sender.size() > kMaxSender || sender.contains(QLatin1Char('"')) || sender.contains(QLatin1Char(',')))
        return {QStringLiteral("a sender is at most %1 characters, without quotes or commas").arg(kMaxSender)};
    QDateTime now = QDateTime::currentDateTime();
    now.setTime(QTime(now.time().hour(), now.time().minute(), now.time().second()));
    const int index = m_sim.addInbox(sender, now, text);
    return {QStringLiteral("message %1 from %2 at %3 is in the inbox (unread): %4")
                .arg(index)
                .arg(sender, now.toString(kStampFormat), text)};
}

QStringList OperatorConsole::addPdu(const QString &arguments)
{
    if (!m_sim.pduSupport())
        return {QStringLiteral("the phone is not in PDU mode: start it with --pdu")};
    const QString hex = arguments.trimmed();
    if (hex.isEmpty() || hex.contains(QRegularExpression(QStringLiteral("\\s"))))
        return {QStringLiteral("usage: pdu HEX")};
    const int index = m_sim.addInboxPdu(hex.toLatin1());
    const ModemSimulator::InboxMessage m = m_sim.inbox().constLast();
    if (m.sender.isEmpty())
        return {QStringLiteral("message %1 is in the inbox (unread); it cannot be decoded").arg(index)};
    return {QStringLiteral("message %1 from %2 at %3 is in the inbox (unread): %4")
                .arg(index)
                .arg(m.sender, m.stamp.toString(kStampFormat), m.text)};
}

QStringList OperatorConsole::setNetwork(const QString &command, const QString &arguments)
{
    bool ok = false;
    if (command == QLatin1String("signal")) {
        const int rssi = arguments.toInt(&ok);
        if (!ok || ((rssi < 0 || rssi > 31) && rssi != 99))
            return {QStringLiteral("usage: signal RSSI (0-31, or 99 for unknown)")};
        m_sim.setSignal(rssi);
        return {rssi == 99 ? QStringLiteral("signal unknown") : QStringLiteral("signal %1 dBm").arg(-113 + 2 * rssi)};
    }
    if (command == QLatin1String("register")) {
        static const QHash<QString, int> states = {{QStringLiteral("home"), 1}, {QStringLiteral("roaming"), 5},
                                                   {QStringLiteral("searching"), 2}, {QStringLiteral("denied"), 3},
                                                   {QStringLiteral("none"), 0}};
        if (!states.contains(arguments))
            return {QStringLiteral("usage: register home|roaming|searching|denied|none")};
        m_sim.setRegistration(states.value(arguments));
        return {QStringLiteral("registration: %1").arg(arguments)};
    }
    if (command == QLatin1String("reference")) {
        const int mr = arguments.toInt(&ok);
        if (!ok || mr < 0 || mr > 255)
            return {QStringLiteral("usage: reference MR (0-255)")};
        m_sim.setNextReference(mr);
        return {QStringLiteral("the next send gets reference %1").arg(mr)};
    }
    const QStringList words = arguments.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    const int value = words.value(1).toInt(&ok);
    if (words.value(0) == QLatin1String("delay") && words.value(1) == QLatin1String("hold")) {
        m_sim.setReportDelay(-1);
        return {QStringLiteral("status reports held until \"report release\"")};
    }
    if (words.value(0) == QLatin1String("delay") && ok && value >= 0) {
        m_sim.setReportDelay(value);
        return {QStringLiteral("status reports come %1 ms after their part").arg(value)};
    }
    if (words.value(0) == QLatin1String("status") && ok && value >= 0 && value <= 255) {
        m_sim.setReportStatus(value);
        return {QStringLiteral("status reports say %1").arg(value)};
    }
    if (words.value(0) == QLatin1String("release") && words.size() == 1) {
        const qsizetype held = m_sim.heldReports().size();
        QList<int> newestFirst;
        for (qsizetype i = held - 1; i >= 0; --i)
            newestFirst << int(i);
        m_sim.releaseReports(newestFirst);
        return {QStringLiteral("%1 status reports sent").arg(held)};
    }
    return {QStringLiteral("usage: report delay MS|hold, report status ST, report release")};
}

QStringList OperatorConsole::listInbox() const
{
    const QList<ModemSimulator::InboxMessage> messages = m_sim.inbox();
    if (messages.isEmpty())
        return {QStringLiteral("the inbox is empty")};
    QStringList lines;
    for (const auto &m : messages)
        lines << QStringLiteral("%1  %2  %3  %4  %5")
                     .arg(m.index, 3)
                     .arg(m.sender, -15)
                     .arg(m.stamp.toString(kStampFormat), m.read ? QStringLiteral("read  ") : QStringLiteral("unread"),
                          m.pdu.isEmpty() || !m.sender.isEmpty() ? m.text : QStringLiteral("(PDU %1)").arg(QString::fromLatin1(m.pdu)));
    return lines;
}

} // namespace tavsms::sim
