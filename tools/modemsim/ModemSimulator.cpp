#include "ModemSimulator.h"

#include "SmsPdu.h"

#include <QFile>
#include <QSocketNotifier>
#include <QTimer>

#include <algorithm>
#include <utility>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace tavsms::sim {

namespace {
const QString kTextEnd = QStringLiteral("<Ctrl-Z>");
constexpr char kCtrlZ = 0x1A;
constexpr char kEsc = 0x1B;

QString hexDigit(int value)
{
    return QString::number(value, 16).toUpper();
}

// Decodes the CDMA one-line form: length and number, "00", length and text.
bool decodeSubmit(const QString &hex, QString &number, QString &text)
{
    QByteArray bytes = QByteArray::fromHex(hex.toLatin1());
    if (bytes.size() * 2 != hex.size() || bytes.isEmpty())
        return false;
    const int n = quint8(bytes.at(0));
    if (bytes.size() < 1 + n + 2)
        return false;
    number = QString::fromLatin1(bytes.mid(1, n));
    const int l = quint8(bytes.at(1 + n + 1));
    if (bytes.at(1 + n) != 0 || bytes.size() != 1 + n + 2 + l)
        return false;
    text = QString::fromLatin1(bytes.mid(1 + n + 2, l));
    return true;
}

bool isHexText(const QByteArray &text)
{
    if (text.isEmpty() || text.size() % 2 != 0)
        return false;
    for (char c : text)
        if (!std::isxdigit(static_cast<unsigned char>(c)))
            return false;
    return true;
}

// The octets after the service-centre part: what AT+CMGS and +CMGL count.
int tpduLength(const QByteArray &hex)
{
    const QByteArray bytes = QByteArray::fromHex(hex);
    if (bytes.isEmpty())
        return 0;
    return std::max(0, int(bytes.size()) - 1 - quint8(bytes.at(0)));
}
} // namespace

ModemSimulator::ModemSimulator(Kind kind, QObject *parent)
    : QObject(parent)
    , m_kind(kind)
{
    m_identification = kind == Kind::Cdma ? QStringList{QStringLiteral("Nokia"), QStringLiteral("CDMA 2112")}
                                          : QStringList{QStringLiteral("WAVECOM MODEM"), QStringLiteral("MULTIBAND 900E 1800")};
}

ModemSimulator::~ModemSimulator()
{
    if (isRunning())
        stop();
}

bool ModemSimulator::start(const QString &linkPath)
{
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (m_master < 0 || ::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0) {
        m_error = QString::fromLocal8Bit(std::strerror(errno));
        if (m_master >= 0)
            ::close(m_master);
        m_master = -1;
        return false;
    }
    m_slaveName = QString::fromLocal8Bit(::ptsname(m_master));
    // Raw line, and one open end kept here: without it the terminal hangs up
    // whenever the program closes its side.
    m_slaveKeep = ::open(QFile::encodeName(m_slaveName).constData(), O_RDWR | O_NOCTTY);
    if (m_slaveKeep >= 0) {
        termios tio{};
        ::tcgetattr(m_slaveKeep, &tio);
        ::cfmakeraw(&tio);
        ::cfsetspeed(&tio, B115200);
        ::tcsetattr(m_slaveKeep, TCSANOW, &tio);
    }
    ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);

    m_link = linkPath;
    QFile::remove(linkPath);
    if (::symlink(QFile::encodeName(m_slaveName).constData(), QFile::encodeName(linkPath).constData()) != 0) {
        m_error = QStringLiteral("cannot link %1: %2").arg(linkPath, QString::fromLocal8Bit(std::strerror(errno)));
        stop();
        return false;
    }
    m_notifier = new QSocketNotifier(m_master, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &ModemSimulator::onReadable);
    return true;
}

void ModemSimulator::stop()
{
    delete m_notifier;
    m_notifier = nullptr;
    if (!m_link.isEmpty())
        QFile::remove(m_link);
    if (m_slaveKeep >= 0)
        ::close(m_slaveKeep);
    if (m_master >= 0)
        ::close(m_master);
    const bool was = m_master >= 0;
    m_slaveKeep = -1;
    m_master = -1;
    if (was)
        Q_EMIT vanished();
}

void ModemSimulator::setFault(const QString &commandPrefix, Fault fault, int delayMs)
{
    for (auto &entry : m_faults) {
        if (entry.first == commandPrefix) {
            entry.second = {fault, delayMs};
            return;
        }
    }
    m_faults.append({commandPrefix, {fault, delayMs}});
}

const QPair<ModemSimulator::Fault, int> *ModemSimulator::faultFor(const QString &command) const
{
    for (const auto &entry : m_faults)
        if (entry.second.first != Fault::None && command.startsWith(entry.first, Qt::CaseInsensitive))
            return &entry.second;
    return nullptr;
}

int ModemSimulator::addInbox(const QString &sender, const QDateTime &stamp, const QString &text, bool read)
{
    if (m_pduSupport)
        return addInboxParts(sender, stamp, text, m_nextInboxReference++).value(0, -1);
    const int index = m_nextIndex++;
    m_inbox.append({index, sender, stamp, text, read, {}});
    return index;
}

QList<int> ModemSimulator::addInboxParts(const QString &sender, const QDateTime &stamp, const QString &text,
                                         quint8 reference)
{
    QList<int> indexes;
    for (const QByteArray &hex : SmsPdu::encodeDeliver(sender, text, stamp, reference))
        indexes << addInboxPdu(hex);
    return indexes;
}

int ModemSimulator::addInboxPdu(const QByteArray &hex, bool read)
{
    // What the text listing and the console show of it; nothing when it
    // cannot be read (the text listing leaves it out then).
    InboxMessage m{m_nextIndex++, {}, {}, {}, read, hex};
    if (const auto decoded = SmsPdu::decodeDeliver(hex)) {
        m.sender = decoded->number;
        m.stamp = decoded->timestamp;
        m.text = decoded->text;
    }
    m_inbox.append(m);
    return m.index;
}

void ModemSimulator::refusePart(int sequence, int times)
{
    if (times == 0)
        m_refusals.remove(sequence);
    else
        m_refusals.insert(sequence, times);
}

void ModemSimulator::inject(const QByteArray &bytes)
{
    writeNow(bytes);
}

void ModemSimulator::setIdentity(const QString &imei, const QString &imsi, const QString &operatorName)
{
    m_imei = imei;
    m_imsi = imsi;
    m_operator = operatorName;
}

int ModemSimulator::takeReference()
{
    const int mr = m_nextReference;
    m_nextReference = (m_nextReference + 1) & 0xFF;
    return mr;
}

void ModemSimulator::reportLater(int reference, const QString &number, int sequence)
{
    if (m_reportRouting != 1 && m_reportRouting != 2)
        return;
    const Report report{reference, number, m_partStatus.value(sequence, m_reportStatus)};
    if (m_reportDelay < 0) {
        m_heldReports << report;
        return;
    }
    QTimer::singleShot(m_reportDelay, this, [this, report] { sendReport(report); });
}

void ModemSimulator::releaseReports(const QList<int> &order)
{
    const QList<Report> held = std::exchange(m_heldReports, {});
    for (int i : order)
        sendReport(held.at(i));
}

void ModemSimulator::sendReport(const Report &report)
{
    if (!isRunning())
        return;
    const QDateTime now = QDateTime::currentDateTime();
    QByteArray line;
    QByteArray stored;
    if (m_pduMode) {
        SmsPdu::StatusReport r{report.reference, report.number, now, now, report.status};
        const QByteArray pdu = SmsPdu::encodeStatusReport(r);
        line = "+CDS: " + QByteArray::number(tpduLength(pdu)) + "\r\n" + pdu;
        stored = "+CMGR: 0,," + QByteArray::number(tpduLength(pdu)) + "\r\n" + pdu;
    } else {
        const QString stamp = now.toString(QStringLiteral("yy/MM/dd,HH:mm:ss")) + QStringLiteral("+22");
        const QString fields = QStringLiteral("6,%1,\"%2\",%3,\"%4\",\"%4\",%5")
                                   .arg(report.reference)
                                   .arg(report.number)
                                   .arg(report.number.startsWith(QLatin1Char('+')) ? 145 : 129)
                                   .arg(stamp)
                                   .arg(report.status);
        line = "+CDS: " + fields.toLatin1();
        stored = "+CMGR: \"REC UNREAD\"," + fields.toLatin1();
    }
    if (m_reportRouting == 2) {
        const int index = m_nextIndex++;
        m_storedReports.insert(index, stored);
        writeNow("\r\n+CDSI: \"SR\"," + QByteArray::number(index) + "\r\n");
        return;
    }
    writeNow("\r\n" + line + "\r\n");
}

QString ModemSimulator::networkAnswer(const QString &upper) const
{
    if (upper == QLatin1String("AT+CSQ"))
        return QStringLiteral("+CSQ: %1,99").arg(m_rssi);
    if (upper == QLatin1String("AT+CREG?"))
        return QStringLiteral("+CREG: 0,%1").arg(m_registration);
    if (upper == QLatin1String("AT+CGSN"))
        return m_imei;
    if (upper == QLatin1String("AT+CIMI"))
        return m_imsi;
    if (upper == QLatin1String("AT+COPS?"))
        return m_registration == 1 || m_registration == 5 ? QStringLiteral("+COPS: 0,0,\"%1\"").arg(m_operator)
                                                          : QStringLiteral("+COPS: 0");
    return {};
}

void ModemSimulator::clearRecords()
{
    m_received.clear();
    m_commands.clear();
    m_sent.clear();
    m_sentParts.clear();
}

QString ModemSimulator::cdmaDataLine(const QString &sender, const QDateTime &stamp, const QString &text)
{
    return QStringLiteral("0") + hexDigit(int(sender.size())) + sender + stamp.toString(QStringLiteral("yyMMddHHmmss"))
        + QStringLiteral("00") + QStringLiteral("%1").arg(text.size(), 4, 16, QLatin1Char('0')).toUpper() + text;
}

void ModemSimulator::onReadable()
{
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(m_master, buffer, sizeof buffer);
        if (n > 0) {
            m_received.append(buffer, n);
            m_input.append(buffer, n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        break;
    }
    process();
}

void ModemSimulator::process()
{
    // A device busy with a late answer reads nothing further, so answers
    // always come in the order of their commands.
    while (isRunning() && !m_busy) {
        if (m_textEntry) {
            qsizetype end = -1;
            for (qsizetype i = 0; i < m_input.size(); ++i) {
                if (m_input.at(i) == kCtrlZ || m_input.at(i) == kEsc) {
                    end = i;
                    break;
                }
            }
            if (end < 0)
                return;
            const QByteArray text = m_input.left(end);
            const bool send = m_input.at(end) == kCtrlZ;
            if (m_echo)
                writeNow(m_input.left(end + 1));
            m_input.remove(0, end + 1);
            m_textEntry = false;
            m_commands << (send ? kTextEnd : QStringLiteral("<Esc>"));
            Q_EMIT commandReceived(m_commands.last());
            if (send && m_pduMode) {
                finishPdu(text);
            } else if (send) {
                m_sent.append({m_textNumber, QString::fromLatin1(text)});
                finishText(true);
            }
            continue;
        }
        qsizetype end = -1;
        for (qsizetype i = 0; i < m_input.size(); ++i) {
            if (m_input.at(i) == '\r' || m_input.at(i) == '\n') {
                end = i;
                break;
            }
        }
        if (end < 0)
            return;
        const QByteArray line = m_input.left(end);
        m_input.remove(0, end + 1);
        const QString command = QString::fromLatin1(line).trimmed();
        if (!command.isEmpty())
            handleCommand(command);
    }
}

bool ModemSimulator::cutShort(const QPair<Fault, int> *fault)
{
    if (fault && fault->first == Fault::Vanish) {
        stop();
        return true;
    }
    return fault && fault->first == Fault::Silence;
}

void ModemSimulator::finishText(bool send)
{
    if (!send)
        return;
    const SentMessage &message = m_sent.last();
    Q_EMIT messageSent(message.number, message.text);
    const auto *fault = faultFor(kTextEnd);
    if (cutShort(fault))
        return;
    if (fault && fault->first == Fault::Error) {
        reply("\r\n+CMS ERROR: 500\r\n");
        return;
    }
    const int mr = takeReference();
    reply(QStringLiteral("\r\n+CMGS: %1\r\n\r\nOK\r\n").arg(mr).toLatin1(),
          fault && fault->first == Fault::Slow ? fault->second : -1);
    if (m_textReports)
        reportLater(mr, message.number, 1);
}

void ModemSimulator::finishPdu(const QByteArray &hex)
{
    // The faults of the text end apply to a PDU as to a text.
    const auto *fault = faultFor(kTextEnd);
    if (cutShort(fault))
        return;
    const QByteArray pdu = hex.trimmed();
    // The length AT+CMGS gave must be the PDU's, as a modem reads it by that.
    const auto message = isHexText(pdu) && tpduLength(pdu) == m_pduLength ? SmsPdu::decodeSubmit(pdu) : std::nullopt;
    if (!message) {
        reply("\r\n+CMS ERROR: 304\r\n");
        return;
    }
    SentPart part{message->number, message->text, message->reference, message->total, message->sequence, false};
    auto refusal = m_refusals.find(part.sequence);
    const bool refused = (fault && fault->first == Fault::Error) || refusal != m_refusals.end();
    if (refusal != m_refusals.end() && refusal.value() > 0 && --refusal.value() == 0)
        m_refusals.erase(refusal);
    if (refused) {
        m_sentParts << part;
        reply("\r\n+CMS ERROR: 500\r\n");
        return;
    }
    part.accepted = true;
    m_sentParts << part;
    // A message is sent once all its parts are; a part accepted again (the
    // whole message sent again) counts once.
    const QString key = QStringLiteral("%1|%2|%3").arg(part.number).arg(part.reference).arg(part.total);
    QMap<int, QString> &parts = m_assembling[key];
    parts.insert(part.sequence, part.text);
    if (part.total <= 1 || parts.size() == part.total) {
        QString whole;
        for (const QString &text : std::as_const(parts))
            whole += text;
        m_assembling.remove(key);
        m_sent.append({part.number, whole});
        Q_EMIT messageSent(part.number, whole);
    }
    const int mr = takeReference();
    reply(QStringLiteral("\r\n+CMGS: %1\r\n\r\nOK\r\n").arg(mr).toLatin1(),
          fault && fault->first == Fault::Slow ? fault->second : -1);
    if (message->reportRequested)
        reportLater(mr, part.number, part.sequence);
}

void ModemSimulator::handleCommand(const QString &command)
{
    m_commands << command;
    Q_EMIT commandReceived(command);
    const auto *fault = faultFor(command);
    if (fault && fault->first == Fault::Vanish) {
        stop();
        return;
    }
    if (fault && fault->first == Fault::Silence)
        return;
    if (m_echo)
        writeNow(command.toLatin1() + "\r");
    const int delay = fault && fault->first == Fault::Slow ? fault->second : -1;
    if (fault && fault->first == Fault::Error) {
        reply("\r\nERROR\r\n", delay);
        return;
    }

    const QByteArray ok = "\r\nOK\r\n";
    const QByteArray error = "\r\nERROR\r\n";
    const QString upper = command.toUpper();
    const bool gsm = m_kind == Kind::Gsm;
    if (upper == QLatin1String("AT")) {
        reply(ok, delay);
    } else if (upper == QLatin1String("ATI")) {
        reply("\r\n" + m_identification.join(QStringLiteral("\r\n")).toLatin1() + "\r\n" + ok, delay);
    } else if (upper == QLatin1String("ATE0") || upper == QLatin1String("ATE1")) {
        m_echo = upper.endsWith(QLatin1Char('1'));
        reply(ok, delay);
    } else if (upper.startsWith(QLatin1String("AT+CMGF="))) {
        const QString mode = upper.mid(8).trimmed();
        if (!gsm || (mode == QLatin1String("0") && !m_pduSupport)) {
            reply(error, delay);
            return;
        }
        m_pduMode = mode == QLatin1String("0");
        reply(ok, delay);
    } else if (upper.startsWith(QLatin1String("AT+CNMI="))) {
        if (gsm)
            m_reportRouting = upper.mid(8).split(QLatin1Char(',')).value(3).toInt();
        reply(gsm ? ok : error, delay);
    } else if (gsm && upper.startsWith(QLatin1String("AT+CSMP="))) {
        m_textReports = upper.mid(8).split(QLatin1Char(',')).value(0).toInt() & 0x20;
        reply(ok, delay);
    } else if (gsm && !networkAnswer(upper).isEmpty()) {
        reply("\r\n" + networkAnswer(upper).toLatin1() + "\r\n" + ok, delay);
    } else if (gsm && upper.startsWith(QLatin1String("AT+CMGR="))) {
        const auto stored = m_storedReports.constFind(upper.mid(8).trimmed().toInt());
        if (stored == m_storedReports.constEnd())
            reply("\r\n+CMS ERROR: 321\r\n", delay);
        else
            reply("\r\n" + stored.value() + "\r\n" + ok, delay);
    } else if (upper.startsWith(QLatin1String("AT+CMGS="))) {
        QString argument = command.mid(8).trimmed();
        if (gsm && m_pduMode) {
            // The length of the PDU to come, in octets after the service-centre part.
            bool isNumber = false;
            m_pduLength = argument.toInt(&isNumber);
            if (!isNumber || m_pduLength < 1 || m_pduLength > 255) {
                reply("\r\n+CMS ERROR: 304\r\n", delay);
                return;
            }
            m_textEntry = true;
            reply("\r\n> ", delay);
        } else if (gsm) {
            argument.remove(QLatin1Char('"'));
            if (argument.isEmpty()) {
                reply(error, delay);
                return;
            }
            m_textNumber = argument;
            m_textEntry = true;
            reply("\r\n> ", delay);
        } else {
            QString number, text;
            if (!decodeSubmit(argument, number, text)) {
                reply(error, delay);
                return;
            }
            m_sent.append({number, text});
            Q_EMIT messageSent(number, text);
            reply(ok, delay);
        }
    } else if (upper.startsWith(QLatin1String("AT+CMGL="))) {
        const QString which = upper.mid(8).trimmed();
        if (!m_rawListing.isEmpty()) {
            reply(m_rawListing, delay);
            m_rawListing.clear();
        } else if (gsm && m_pduMode) {
            bool isNumber = false;
            const int stat = which.toInt(&isNumber);
            if (!isNumber || stat < 0 || stat > 4) {
                reply("\r\n+CMS ERROR: 304\r\n", delay);
                return;
            }
            reply(pduListing(stat), delay);
            for (auto &message : m_inbox)
                if (stat == 4 || stat == (message.read ? 1 : 0))
                    message.read = true;
        } else if (gsm && which == QLatin1String("\"ALL\"")) {
            reply(gsmListing(), delay);
            for (auto &message : m_inbox)
                message.read = true;
        } else if (!gsm && (which == QLatin1String("0") || which == QLatin1String("1"))) {
            reply(cdmaListing(which == QLatin1String("1")), delay);
        } else {
            reply(error, delay);
        }
    } else if (upper.startsWith(QLatin1String("AT+CMGD="))) {
        bool isNumber = false;
        const int index = upper.mid(8).trimmed().toInt(&isNumber);
        if (isNumber && m_storedReports.remove(index) > 0) {
            reply(ok, delay);
            return;
        }
        for (qsizetype i = 0; isNumber && i < m_inbox.size(); ++i) {
            if (m_inbox.at(i).index == index) {
                m_inbox.removeAt(i);
                reply(ok, delay);
                return;
            }
        }
        reply("\r\n+CMS ERROR: 321\r\n", delay);
    } else {
        reply(error, delay);
    }
}

QByteArray ModemSimulator::gsmListing() const
{
    QByteArray out;
    for (const InboxMessage &m : m_inbox) {
        if (m.sender.isEmpty())
            continue; // a PDU that cannot be read has no text form
        QString text = m.text;
        text.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
        out += QStringLiteral("\r\n+CMGL: %1,\"%2\",\"%3\",,\"%4+22\"\r\n%5")
                   .arg(m.index)
                   .arg(m.read ? QStringLiteral("REC READ") : QStringLiteral("REC UNREAD"), m.sender,
                        m.stamp.toString(QStringLiteral("yy/MM/dd,HH:mm:ss")), text)
                   .toLatin1();
    }
    return out + "\r\n\r\nOK\r\n";
}

QByteArray ModemSimulator::pduListing(int stat) const
{
    // 0 unread, 1 read, 4 all; 2 and 3 (stored outgoing messages) this
    // phone never holds. Messages stored in text form have no PDU to list.
    QByteArray out;
    for (const InboxMessage &m : m_inbox) {
        const int own = m.read ? 1 : 0;
        if (m.pdu.isEmpty() || (stat != 4 && stat != own))
            continue;
        out += "\r\n+CMGL: " + QByteArray::number(m.index) + ',' + QByteArray::number(own) + ",,"
            + QByteArray::number(tpduLength(m.pdu)) + "\r\n" + m.pdu;
    }
    return out + "\r\n\r\nOK\r\n";
}

QByteArray ModemSimulator::cdmaListing(bool read) const
{
    QByteArray out;
    for (const InboxMessage &m : m_inbox) {
        if (m.read != read)
            continue;
        out += QStringLiteral("\r\n+CMGL: %1,%2\r\n").arg(m.index).arg(read ? 1 : 0).toLatin1()
            + cdmaDataLine(m.sender, m.stamp, m.text).toLatin1();
    }
    return out + "\r\n\r\nOK\r\n";
}

void ModemSimulator::reply(const QByteArray &bytes, int delayMs)
{
    const int delay = delayMs >= 0 ? delayMs : m_replyDelay;
    if (delay <= 0) {
        writeNow(bytes);
        return;
    }
    m_busy = true;
    QTimer::singleShot(delay, this, [this, bytes] {
        writeNow(bytes);
        m_busy = false;
        process();
    });
}

void ModemSimulator::writeNow(const QByteArray &bytes)
{
    qsizetype done = 0;
    while (m_master >= 0 && done < bytes.size()) {
        const ssize_t n = ::write(m_master, bytes.constData() + done, size_t(bytes.size() - done));
        if (n > 0)
            done += n;
        else if (n < 0 && errno == EINTR)
            continue;
        else
            break; // the far end is full or gone; a real device would drop it too
    }
}

} // namespace tavsms::sim
