#include "ModemPort.h"

#include "DebugLog.h"
#include "NextSignal.h"
#include "SerialPortLayer.h"

#include <utility>

namespace tavsms {

ModemPort::ModemPort(QString softwarePort, QObject *parent)
    : QObject(parent)
    , m_softwarePort(std::move(softwarePort))
{
    setObjectName(m_softwarePort);
    connect(&m_port, &QSerialPort::readyRead, this, &ModemPort::onReadyRead);
    connect(&m_port, &QSerialPort::errorOccurred, this, &ModemPort::onError);
}

ModemPort::~ModemPort()
{
    m_port.close();
}

QString ModemPort::open(const QString &systemPortNo)
{
    close();
    m_systemPort = systemPortNo;
    m_port.setPortName(SerialPortLayer::devicePath(systemPortNo));
    m_port.setBaudRate(QSerialPort::Baud115200);
    m_port.setDataBits(QSerialPort::Data8);
    m_port.setParity(QSerialPort::NoParity);
    m_port.setStopBits(QSerialPort::OneStop);
    m_port.setFlowControl(QSerialPort::NoFlowControl);
    m_lost = false;
    if (!m_port.open(QIODevice::ReadWrite)) {
        const QString why = m_port.errorString();
        m_port.clearError();
        return why.isEmpty() ? QStringLiteral("The port could not be opened.") : why;
    }
    m_port.clearError();
    discardInput();
    m_lines = {};
    m_reportHeader.clear();
    m_previousLine.clear();
    ++m_session;
    return {};
}

void ModemPort::close()
{
    const bool wasOpen = m_port.isOpen();
    if (wasOpen)
        m_port.close();
    if (wasOpen || m_lost) {
        ++m_session;
        m_lost = false;
        discardInput();
        Q_EMIT activity();
    }
}

bool ModemPort::write(const QByteArray &bytes)
{
    if (!isOpen())
        return false;
    return m_port.write(bytes) == bytes.size();
}

bool ModemPort::writeText(const QString &text)
{
    // Devices speak single-byte characters; what Latin-1 cannot carry goes as '?'.
    return write(text.toLatin1());
}

QString ModemPort::readStr()
{
    const QString text = QString::fromLatin1(m_pending);
    m_pending.clear();
    return text;
}

void ModemPort::discardInput()
{
    m_pending.clear();
    m_dropping = false;
    m_collecting = m_inUse;
}

qsizetype ModemPort::heldBytes() const
{
    return m_pending.size() + qsizetype(m_port.bytesAvailable());
}

void ModemPort::keepWithinCap(QString &text)
{
    if (text.size() <= kInputCap)
        return;
    text.remove(0, text.size() - kInputCap);
    noteDrop();
}

void ModemPort::noteDrop()
{
    if (m_dropping)
        return;
    m_dropping = true;
    if (m_log)
        m_log->writeEvent(QStringLiteral(" %1 - more than %2 bytes in one answer; the oldest were dropped")
                              .arg(m_softwarePort)
                              .arg(kInputCap));
}

QCoro::Task<void> ModemPort::acquire()
{
    while (m_inUse) {
        NextSignal freed(this, &ModemPort::released, std::chrono::milliseconds(-1));
        co_await freed;
    }
    m_inUse = true;
}

void ModemPort::release()
{
    if (!m_inUse)
        return;
    m_inUse = false;
    discardInput();
    Q_EMIT released();
}

void ModemPort::onReadyRead()
{
    // Read in any case: left in the serial port's own buffer it would grow there.
    const QByteArray bytes = m_port.readAll();
    lookForUnsolicited(bytes);
    if (!m_collecting)
        return; // nobody asked
    m_pending += bytes;
    if (m_pending.size() > kInputCap) {
        m_pending.remove(0, m_pending.size() - kInputCap);
        noteDrop();
    }
    Q_EMIT activity();
}

void ModemPort::lookForUnsolicited(const QByteArray &bytes)
{
    for (const QString &line : m_lines.feed(QString::fromLatin1(bytes))) {
        const QString previous = std::exchange(m_previousLine, line);
        if (!m_reportHeader.isEmpty()) {
            Q_EMIT unsolicited(std::exchange(m_reportHeader, QString()), line.trimmed());
            continue;
        }
        // A received message's text follows its listing header: a text that
        // reads like a report is no report.
        if (previous.startsWith(QLatin1String("+CMGL:")) || previous.startsWith(QLatin1String("+CMGR:")))
            continue;
        if (line.startsWith(QLatin1String("+CDS:"))) {
            // Text mode gives the report's fields; PDU mode its length, then the PDU.
            if (line.contains(QLatin1Char(',')))
                Q_EMIT unsolicited(line.trimmed(), QString());
            else
                m_reportHeader = line.trimmed();
        } else if (line.startsWith(QLatin1String("+CDSI:")) || line.startsWith(QLatin1String("+CMTI:"))) {
            Q_EMIT unsolicited(line.trimmed(), QString());
        }
    }
}

void ModemPort::onError(QSerialPort::SerialPortError error)
{
    switch (error) {
    case QSerialPort::NoError:
        return;
    case QSerialPort::ResourceError:
    case QSerialPort::ReadError:
    case QSerialPort::WriteError:
        // The device went away (cable pulled, phone switched off). Close
        // outside this signal; until then the port reads as closed.
        if (!m_lost && m_port.isOpen()) {
            m_lost = true;
            ++m_session;
            QMetaObject::invokeMethod(this, [this] {
                if (m_lost) {
                    m_port.close();
                    m_port.clearError();
                }
            }, Qt::QueuedConnection);
            Q_EMIT activity();
            Q_EMIT lost();
        }
        return;
    default:
        // A pseudo-terminal refuses the modem-control calls
        // (UnsupportedOperationError); reads and writes work all the same.
        m_port.clearError();
        return;
    }
}

} // namespace tavsms
