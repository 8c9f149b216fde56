#pragma once

#include <QFile>
#include <QString>

namespace tavsms {

// debug.txt: one line per event, appended (never truncated), each line the
// writer's own composition ended by CR LF. Lines are flushed as written so
// that nothing is lost when the program dies.
class DebugLog
{
public:
    DebugLog() = default;
    DebugLog(const DebugLog &) = delete;
    DebugLog &operator=(const DebugLog &) = delete;

    // Opens for appending, creating the file when missing. Empty on success,
    // else the reason.
    QString open(const QString &path);
    void close();
    bool isOpen() const { return m_file.isOpen(); }
    QString path() const { return m_file.fileName(); }

    // Writes the line as given, except that CR and LF within it are written
    // as the two characters \r and \n.
    void writeLine(const QString &line);
    // Writes the display date-time of now followed by the event text, which
    // by convention begins with a space (" Activating COM1 - ").
    void writeEvent(const QString &eventText);

private:
    QFile m_file;
};

} // namespace tavsms
