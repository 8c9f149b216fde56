#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QList>
#include <QMap>
#include <QObject>
#include <QString>
#include <QStringList>

class QSocketNotifier;

namespace tavsms::sim {

// A phone or modem on a pseudo-terminal, for tests and for trying the
// program without hardware. It links the terminal's device to a path the
// program is configured with, answers AT commands like a GSM modem in text
// mode (or, when it supports it, PDU mode) or like a CDMA phone, and records
// every byte it receives. Faults can be switched on per command.
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
        QByteArray pdu; // hex, for a message stored as a PDU (one part of it)
    };
    // A message sent whole: in PDU mode once every part was accepted.
    struct SentMessage
    {
        QString number;
        QString text;
    };
    // One AT+CMGS in PDU mode that could be read, accepted or refused.
    struct SentPart
    {
        QString number;
        QString text;
        int reference = 0;
        int total = 1;
        int sequence = 1;
        bool accepted = false;
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

    // PDU mode: AT+CMGF=0 is accepted and switches the modem into it
    // (AT+CMGF=1 back); without support AT+CMGF=0 is refused, as a
    // text-only modem does. Messages added afterwards are stored as PDUs.
    void setPduSupport(bool on) { m_pduSupport = on; }
    bool pduSupport() const { return m_pduSupport; }
    bool pduMode() const { return m_pduMode; }
    // The next `times` attempts at part `sequence` of a message (1 for a
    // single one) are answered +CMS ERROR: 500; every one when `times` < 0.
    void refusePart(int sequence, int times = -1);

    // Received messages the listings show; returns the memory index (with
    // PDU support, the first part's: a long text takes one index a part).
    int addInbox(const QString &sender, const QDateTime &stamp, const QString &text, bool read = false);
    // A received text as the phone stores it in PDU mode, one SMS-DELIVER
    // per part sharing `reference`; the indexes, part 1 first.
    QList<int> addInboxParts(const QString &sender, const QDateTime &stamp, const QString &text, quint8 reference);
    // One stored message listed with exactly this hex in PDU mode: a part
    // out of order, a repeated part, one that cannot be decoded.
    int addInboxPdu(const QByteArray &hex, bool read = false);
    QList<InboxMessage> inbox() const { return m_inbox; }
    // The next listing is answered with exactly these bytes.
    void setRawListing(const QByteArray &bytes) { m_rawListing = bytes; }
    // Writes bytes to the program unasked (noise, garbage).
    void inject(const QByteArray &bytes);

    // Network side. Signal as AT+CSQ's rssi (0-31, 99 unknown); registration
    // as AT+CREG?'s stat (1 home, 5 roaming, 2 searching, 3 denied, 0 none).
    void setSignal(int rssi) { m_rssi = rssi; }
    void setRegistration(int stat) { m_registration = stat; }
    void setIdentity(const QString &imei, const QString &imsi, const QString &operatorName);

    // Status reports, for sends that ask for them (TP-SRR in PDU mode, the
    // first octet of AT+CSMP in text mode) once AT+CNMI has said how they go:
    // ds 1 as +CDS lines, ds 2 stored and announced with +CDSI. Each comes
    // `delayMs` after its part was accepted; a negative delay holds them until
    // releaseReports().
    void setReportDelay(int delayMs) { m_reportDelay = delayMs; }
    // TP-ST of every report, or of the reports of part `sequence`.
    void setReportStatus(int status) { m_reportStatus = status; }
    void setReportStatusOfPart(int sequence, int status) { m_partStatus.insert(sequence, status); }
    // The reference the next accepted message gets (they count up and wrap past 255).
    void setNextReference(int reference) { m_nextReference = reference & 0xFF; }
    struct Report
    {
        int reference = 0;
        QString number;
        int status = 0;
    };
    QList<Report> heldReports() const { return m_heldReports; }
    // Sends the held reports in the order of `order` (indexes into heldReports()).
    void releaseReports(const QList<int> &order);
    // Sends one report now, as the network would (one nobody asked for, too).
    void sendReport(const Report &report);
    int reportRouting() const { return m_reportRouting; }
    QList<int> storedReports() const { return m_storedReports.keys(); }

    QByteArray received() const { return m_received; }
    QStringList commands() const { return m_commands; }
    QList<SentMessage> sent() const { return m_sent; }
    QList<SentPart> sentParts() const { return m_sentParts; }
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
    // The device vanishing or saying nothing at the end of a message: true when one of them did.
    bool cutShort(const QPair<Fault, int> *fault);
    void finishText(bool send);
    void finishPdu(const QByteArray &hex);
    void reply(const QByteArray &bytes, int delayMs = -1);
    void writeNow(const QByteArray &bytes);
    QByteArray gsmListing() const;
    QByteArray cdmaListing(bool read) const;
    QByteArray pduListing(int stat) const;
    QString networkAnswer(const QString &upper) const;
    // A part accepted with a report asked for: its report comes as set.
    void reportLater(int reference, const QString &number, int sequence);
    int takeReference();
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

    bool m_pduSupport = false;
    bool m_pduMode = false;
    int m_pduLength = 0; // as AT+CMGS gave it
    quint8 m_nextInboxReference = 1;
    QHash<int, int> m_refusals; // part number -> attempts still to refuse (< 0: all)
    QList<SentPart> m_sentParts;
    QHash<QString, QMap<int, QString>> m_assembling; // accepted parts by number and reference

    int m_rssi = 20;
    int m_registration = 1;
    QString m_imei = QStringLiteral("356938035643809");
    QString m_imsi = QStringLiteral("404450123456789");
    QString m_operator = QStringLiteral("SIM Net");
    bool m_textReports = false; // AT+CSMP's first octet asks for reports
    int m_reportRouting = 0;    // AT+CNMI's ds
    int m_reportDelay = 0;
    int m_reportStatus = 0;
    QHash<int, int> m_partStatus;
    QList<Report> m_heldReports;
    QMap<int, QByteArray> m_storedReports; // index -> what AT+CMGR answers
};

} // namespace tavsms::sim
