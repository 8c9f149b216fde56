#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

class QSocketNotifier;

namespace tavsms::sim {

// A phone or modem on a pseudo-terminal, for tests and for trying the
// program without hardware. It links the terminal's device to a path the
// program is configured with, answers AT commands like a GSM modem in text
// mode or like a CDMA phone, and records every byte it receives. Faults can
// be switched on per command.
class ModemSimulator : public QObject
{
    Q_OBJECT
public:
    enum class Kind { Gsm, Cdma };
    enum class Fault {
        None,
        Error,   // answer ERROR
        Silence, // answer nothing (no echo either)
        Slow,    // answer after a delay
        Vanish,  // the device disappears as the command arrives
    };

    struct InboxMessage
    {
        int index = 0;
        QString sender;
        QDateTime stamp;
        QString text;
        bool read = false;
    };
    struct SentMessage
    {
        QString number;
        QString text;
    };

    explicit ModemSimulator(Kind kind, QObject *parent = nullptr);
    ~ModemSimulator() override;

    // Opens the pseudo-terminal and makes `linkPath` a symbolic link to it.
    bool start(const QString &linkPath);
    // The device vanishes: the link goes and the terminal closes.
    void stop();
    bool isRunning() const { return m_master >= 0; }
    QString errorString() const { return m_error; }
    QString devicePath() const { return m_slaveName; }
    QString linkPath() const { return m_link; }
    Kind kind() const { return m_kind; }

    void setEcho(bool on) { m_echo = on; }
    // The lines ATI answers before OK.
    void setIdentification(const QStringList &lines) { m_identification = lines; }
    // Every reply is held back this long.
    void setReplyDelay(int ms) { m_replyDelay = ms; }
    // A fault for commands starting with `commandPrefix` (e.g. "AT+CMGS").
    // Slow holds back that command's answer by `delayMs`; its echo comes at
    // once, and commands sent meanwhile are answered after it, in order.
    void setFault(const QString &commandPrefix, Fault fault, int delayMs = 0);
    void clearFaults() { m_faults.clear(); }

    // Received messages the listings show; returns the memory index.
    int addInbox(const QString &sender, const QDateTime &stamp, const QString &text, bool read = false);
    QList<InboxMessage> inbox() const { return m_inbox; }
    // The next listing is answered with exactly these bytes.
    void setRawListing(const QByteArray &bytes) { m_rawListing = bytes; }
    // Writes bytes to the program unasked (noise, garbage).
    void inject(const QByteArray &bytes);

    QByteArray received() const { return m_received; }
    QStringList commands() const { return m_commands; }
    QList<SentMessage> sent() const { return m_sent; }
    void clearRecords();

    // The CDMA phone's listing line of a message.
    static QString cdmaDataLine(const QString &sender, const QDateTime &stamp, const QString &text);

Q_SIGNALS:
    void commandReceived(const QString &command);
    void messageSent(const QString &number, const QString &text);
    void vanished();

private:
    void onReadable();
    void process();
    void handleCommand(const QString &command);
    void finishText(bool send);
    void reply(const QByteArray &bytes, int delayMs = -1);
    void writeNow(const QByteArray &bytes);
    QByteArray gsmListing() const;
    QByteArray cdmaListing(bool read) const;
    const QPair<Fault, int> *faultFor(const QString &command) const;

    Kind m_kind;
    int m_master = -1;
    int m_slaveKeep = -1; // keeps the terminal up between the program's opens
    QSocketNotifier *m_notifier = nullptr;
    QString m_slaveName;
    QString m_link;
    QString m_error;

    bool m_echo = true;
    QStringList m_identification;
    int m_replyDelay = 0;
    QList<QPair<QString, QPair<Fault, int>>> m_faults;

    QByteArray m_received;
    QByteArray m_input;
    bool m_textEntry = false;
    bool m_busy = false; // a held-back answer is still to come
    QString m_textNumber;
    QStringList m_commands;
    QList<SentMessage> m_sent;
    QList<InboxMessage> m_inbox;
    int m_nextIndex = 1;
    int m_nextReference = 1;
    QByteArray m_rawListing;
};

} // namespace tavsms::sim
