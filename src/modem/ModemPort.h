#pragma once

#include <QByteArray>
#include <QCoroTask>
#include <QObject>
#include <QSerialPort>
#include <QString>

namespace tavsms {

// One serial connection to a phone or modem (SPort1, sport2 … sport5):
// 115200 8N1, no flow control. Received bytes collect here until a reader
// takes them with readStr(), which never blocks. Waiters suspend on
// activity(), emitted when bytes arrive, when the port closes or vanishes,
// and when someone asks every waiter to look again (the abort-waits flag).
//
// Only one dialogue talks to a device at a time: the sender with its poll,
// port initialisation, or the phone console each hold the port while they
// write a command and read its answer, so nobody reads another's reply.
class ModemPort : public QObject
{
    Q_OBJECT
public:
    explicit ModemPort(QString softwarePort, QObject *parent = nullptr);
    ~ModemPort() override;

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
    void discardInput() { m_pending.clear(); }

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

private:
    void onReadyRead();
    void onError(QSerialPort::SerialPortError error);

    QString m_softwarePort;
    QString m_systemPort;
    QSerialPort m_port;
    QByteArray m_pending;
    quint64 m_session = 0;
    bool m_lost = false;
    bool m_inUse = false;
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
