#include "DebugLog.h"

#include "DateTimeText.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace tavsms {

namespace {

// A value that carries a line break (a message from the listener, a reply
// from a push URL) must not start a line of its own.
QByteArray oneLine(const QString &line)
{
    QByteArray text = line.toUtf8();
    if (text.contains('\r') || text.contains('\n'))
        text.replace("\r", "\\r").replace("\n", "\\n");
    return text;
}

} // namespace

DebugLog::~DebugLog()
{
    close();
}

QString DebugLog::open(const QString &path)
{
    close();
    m_path = path;
    if (!openFile())
        return QStringLiteral("Cannot open %1: %2").arg(path, m_trouble);
    return {};
}

bool DebugLog::openFile()
{
    // O_APPEND by hand: a seek to the end is what a device such as a pipe
    // cannot do. Plain write(2) calls, unbuffered: a line that fails is known
    // at once, with the system's reason, rather than kept back to come out
    // later, cut or out of order.
    m_fd = ::open(QFile::encodeName(m_path).constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
    if (m_fd < 0) {
        setTrouble(qt_error_string(errno));
        return false;
    }
    return true;
}

void DebugLog::close()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_path.clear();
    m_unfinished.clear();
    m_dropped = 0;
}

void DebugLog::setTrouble(const QString &reason)
{
    // Told once when it starts and once when it ends, not once a line.
    if (reason.isEmpty() == m_trouble.isEmpty())
        return;
    m_trouble = reason;
    if (m_onTrouble)
        m_onTrouble(reason);
}

qsizetype DebugLog::writeSome(const QByteArray &bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(m_fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n > 0) {
            done += n;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        setTrouble(n < 0 ? qt_error_string(errno) : QStringLiteral("The file takes nothing more"));
        break;
    }
    return done;
}

bool DebugLog::finishCutLine()
{
    m_unfinished.remove(0, writeSome(m_unfinished));
    return m_unfinished.isEmpty();
}

void DebugLog::writeLine(const QString &line)
{
    if (m_path.isEmpty())
        return;
    if ((m_fd < 0 && !openFile()) || !finishCutLine()) {
        ++m_dropped;
        return;
    }
    if (m_dropped > 0) {
        const QString lost = m_dropped == 1 ? QStringLiteral(" 1 line could not be written")
                                            : QStringLiteral(" %1 lines could not be written").arg(m_dropped);
        const QByteArray notice = oneLine(DateTimeText::displayNow() + lost) + "\r\n";
        const qsizetype n = writeSome(notice);
        if (n < notice.size()) {
            if (n > 0) { // begun: it is finished with the rest, and counts no more
                m_unfinished = notice.mid(n);
                m_dropped = 0;
            }
            ++m_dropped;
            return;
        }
        m_dropped = 0;
    }
    const QByteArray bytes = oneLine(line) + "\r\n";
    const qsizetype n = writeSome(bytes);
    if (n == bytes.size()) {
        setTrouble({});
        return;
    }
    // Not begun: dropped and counted. Begun: the rest goes first next time,
    // so the line is whole and the next one starts a line of its own.
    if (n == 0)
        ++m_dropped;
    else
        m_unfinished = bytes.mid(n);
}

void DebugLog::writeEvent(const QString &eventText)
{
    writeLine(DateTimeText::displayNow() + eventText);
}

} // namespace tavsms
