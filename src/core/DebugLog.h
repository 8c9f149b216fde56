#pragma once

#include <QFile>
#include <QString>

#include <functional>

namespace tavsms {

// debug.txt: one line per event, appended (never truncated), each line the
// writer's own composition ended by CR LF. Each line goes to the file in one
// write, so nothing is lost when the program dies.
//
// A log that cannot be written (disk full, file made read-only) never stops
// the program: the trouble is told once, the lines meanwhile are dropped,
// and writing resumes by itself once the file takes lines again.
class DebugLog
{
public:
    // Told the reason when writing starts failing, and an empty reason when
    // it works again.
    using TroubleHandler = std::function<void(const QString &reason)>;

    DebugLog() = default;
    DebugLog(const DebugLog &) = delete;
    DebugLog &operator=(const DebugLog &) = delete;

    void setTroubleHandler(TroubleHandler handler) { m_onTrouble = std::move(handler); }

    // Opens for appending, creating the file (0600) when missing. Empty on
    // success, else the reason; either way later lines try the file again
    // until close().
    QString open(const QString &path);
    void close();
    bool isOpen() const { return m_file.isOpen(); }
    QString path() const { return m_path; }
    // Why the last line could not be written; empty while writing works.
    QString trouble() const { return m_trouble; }

    // Writes the line as given, except that CR and LF within it are written
    // as the two characters \r and \n.
    void writeLine(const QString &line);
    // Writes the display date-time of now followed by the event text, which
    // by convention begins with a space (" Activating COM1 - ").
    void writeEvent(const QString &eventText);

private:
    bool openFile();
    void setTrouble(const QString &reason);

    QFile m_file;
    QString m_path; // empty once closed
    QString m_trouble;
    TroubleHandler m_onTrouble;
};

} // namespace tavsms
