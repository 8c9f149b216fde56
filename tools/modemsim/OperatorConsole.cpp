#include "OperatorConsole.h"

#include "ModemSimulator.h"

#include <QDateTime>
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
