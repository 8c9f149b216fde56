#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace tavsms {

// How a device's answer ends. A terminator counts only as a whole line of
// its own: modems echo what they are sent, so "ERROR in invoice 12" in an
// echoed message, or "NOKIA" in an identification, must not end a wait.
namespace ReplyLines {

enum class Final { Ok, Error };

// The lines of a reply that are complete (followed by CR or LF), without
// their line ends; empty lines dropped. The unfinished tail is left out.
QStringList completeLines(const QString &buffer);

// "OK", "ERROR", "+CMS ERROR: n" or "+CME ERROR: n".
bool isOkLine(const QString &line);
bool isErrorLine(const QString &line);

// The first final result line of the reply, if one has arrived.
std::optional<Final> finalResult(const QString &buffer);

// True when a line starts with the text-entry prompt ">".
bool hasPrompt(const QString &buffer);

// The message reference of "+CMGS: <mr>" in a send's answer; -1 when none.
int messageReference(const QString &buffer);

// Number of complete "OK" lines.
int okCount(const QString &buffer);
bool hasErrorLine(const QString &buffer);

// Reads an answer as it arrives, chunk by chunk, looking at each character
// once: a wait on a device that sends one endless line costs what the line
// costs, not that times the number of its chunks. Lines are cut as
// completeLines() cuts them. A line longer than kLineCap is noise (no
// terminator is that long): only its first kLineCap characters are kept,
// and it is never handed out as a line.
class Scanner
{
public:
    static constexpr qsizetype kLineCap = 4096;

    // Takes the next chunk; returns the lines it completed, in order.
    QStringList feed(QStringView chunk);
    // The unfinished line starts with ">" (the text-entry prompt "> " has no line end).
    bool promptInTail() const;
    // Characters looked at so far.
    qsizetype scanned() const { return m_scanned; }

private:
    void keep(QStringView part);

    QString m_tail;      // the unfinished line
    bool m_tailCut = false;
    qsizetype m_scanned = 0;
};

} // namespace ReplyLines
} // namespace tavsms
