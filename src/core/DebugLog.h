#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

namespace tavsms {

// debug.txt: one line per event, appended (never truncated), each line the
// writer's own composition ended by CR LF. Each line goes to the file in one
// write, so nothing is lost when the program dies.
//
// A log that cannot be written (disk full, file made read-only) never stops
// the program: the trouble is told once, the lines meanwhile are counted and
// dropped, and writing resumes by itself once the file takes lines again,
// with one line saying how many were lost. Every line in the file is whole:
// a line the disk cut short is finished before anything else is written.
class DebugLog
{
public:
    // Told the reason when writing starts failing, and an empty reason when
    // it works again.
    using TroubleHandler = std::function<void(const QString &reason)>;

    DebugLog() = default;
    ~DebugLog();
    DebugLog(const DebugLog &) = delete;
    DebugLog &operator=(const DebugLog &) = delete;

    void setTroubleHandler(TroubleHandler handler) { m_onTrouble = std::move(handler); }

    // Opens for appending, creating the file (0600) when missing. Empty on
    // success, else the reason; either way later lines try the file again
    // until close().
    QString open(const QString &path);
    void close();
    bool isOpen() const { return m_fd >= 0; }
    QString path() const { return m_path; }
    // Why the last line could not be written; empty while writing works.
    QString trouble() const { return m_trouble; }
    // Lines dropped since writing last worked.
    qint64 droppedLines() const { return m_dropped; }

    // Writes the line as given, except that CR and LF within it are written
    // as the two characters \r and \n.
    void writeLine(const QString &line);
    // Writes the display date-time of now followed by the event text, which
    // by convention begins with a space (" Activating COM1 - ").
    void writeEvent(const QString &eventText);

private:
    bool openFile();
    // Writes as much of `bytes` as the file takes and says how much; the
    // system's reason is told when that is not all.
    qsizetype writeSome(const QByteArray &bytes);
    // Writes the end of a line the file took only part of; true once whole.
    bool finishCutLine();
    void setTrouble(const QString &reason);

    int m_fd = -1;
    QString m_path; // empty once closed
    QString m_trouble;
    QByteArray m_unfinished; // the end of a line the file took only part of
    qint64 m_dropped = 0;
    TroubleHandler m_onTrouble;
};

} // namespace tavsms
