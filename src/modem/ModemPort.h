#pragma once

#include <QByteArray>
#include <QCoroTask>
#include <QObject>
#include <QSerialPort>
#include <QString>

#include "ReplyLines.h"

namespace tavsms {

class DebugLog;

// One serial connection to a phone or modem (SPort1, sport2 … sport5):
// 115200 8N1, no flow control. Received bytes collect here until a reader
// takes them with readStr(), which never blocks. Waiters suspend on
// activity(), emitted when bytes arrive, when the port closes or vanishes,
// and when someone asks every waiter to look again (the abort-waits flag).
//
// Only one dialogue talks to a device at a time: the sender with its poll,
// port initialisation, or the phone console each hold the port while they
// write a command and read its answer, so nobody reads another's reply.
// Input is kept only from a dialogue's command on: what arrives while
// nobody holds the port, or before the holder's first command (RING,
// status lines, a noisy cable), answers nothing and is dropped as it
// comes; what is left when the dialogue lets go goes with it.
//
// Lines the device sends unasked that matter (+CDS status reports, +CDSI
// and +CMTI notices of stored ones) are taken out of every byte read, held
// or not, line by line with one line's worth kept (ReplyLines::Scanner), and
// handed on through unsolicited(); the rest is kept or dropped as above.
class ModemPort : public QObject
{
    Q_OBJECT
public:
    // The most a port, or a reader of one answer, holds. A device that
    // sends more loses its oldest bytes; the first loss of each answer is
    // written to the debug log, never one line per chunk.
    static constexpr qsizetype kInputCap = 64 * 1024;

    explicit ModemPort(QString softwarePort, QObject *parent = nullptr);
    ~ModemPort() override;

    // Where the drops are noted; none by default.
    void setDebugLog(DebugLog *log) { m_log = log; }

    QString softwarePort() const { return m_softwarePort; }
    QString systemPort() const { return m_systemPort; }

    // Opens the named device, closing it first when it is open. Returns an
    // empty string on success, else the reason.
    QString open(const QString &systemPortNo);
    void close();
    bool isOpen() const { return m_port.isOpen() && !m_lost; }
    // Changes on every open and close, so a wait can tell that the device it
    // started on is gone even when the port has been opened again since.
    quint64 session() const { return m_session; }

    // Writes the bytes as they are; false when the port is not open.
    bool write(const QByteArray &bytes);
    bool writeText(const QString &text);
    // What has arrived since the last call, possibly nothing.
    QString readStr();
    // Drops what is held; the holder's next answer starts here. Writing a
    // command calls it (AtDialogue::writeCommand).
    void discardInput();
    // Bytes received and not yet read.
    qsizetype heldBytes() const;
    // Cuts what a reader holds of the current answer to kInputCap, oldest first.
    void keepWithinCap(QString &text);

    // The dialogue lock.
    bool inUse() const { return m_inUse; }
    // Suspends until the port is free, then holds it.
    QCoro::Task<void> acquire();
    void release();

    // Makes every waiter on this port look at its stop conditions again.
    void wake() { Q_EMIT activity(); }

Q_SIGNALS:
    void activity();
    void released();
    // The device went away under an open port (not a close() of ours).
    void lost();
    // A +CDS, +CDSI or +CMTI line; `pdu` is the PDU line that follows a
    // "+CDS: <length>" in PDU mode.
    void unsolicited(const QString &line, const QString &pdu);

private:
    void onReadyRead();
    void onError(QSerialPort::SerialPortError error);
    void noteDrop();
    void lookForUnsolicited(const QByteArray &bytes);

    QString m_softwarePort;
    QString m_systemPort;
    QSerialPort m_port;
    QByteArray m_pending;
    DebugLog *m_log = nullptr;
    bool m_collecting = false; // the holder has written a command
    bool m_dropping = false;   // the current answer has lost bytes already
    quint64 m_session = 0;
    bool m_lost = false;
    bool m_inUse = false;
    ReplyLines::Scanner m_lines; // every byte read, for the unsolicited lines
    QString m_previousLine;
    QString m_reportHeader; // a "+CDS: <length>" whose PDU line is next
};

// Holds a port for one dialogue; releases it when it goes out of scope.
class PortHold
{
public:
    explicit PortHold(ModemPort &port) : m_port(&port) {}
    PortHold(const PortHold &) = delete;
    PortHold &operator=(const PortHold &) = delete;
    ~PortHold()
    {
        if (m_port)
            m_port->release();
    }

private:
    ModemPort *m_port;
};

} // namespace tavsms
