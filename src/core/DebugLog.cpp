#include "DebugLog.h"

#include "DateTimeText.h"

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
    // O_APPEND by hand: QFile's Append seeks to the end, which a device such
    // as a pipe cannot do and says so on standard error. Unbuffered: a line
    // that fails is gone rather than kept back to come out later, cut or out
    // of order.
    const int fd = ::open(QFile::encodeName(m_path).constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
        setTrouble(qt_error_string(errno));
        return false;
    }
    m_file.setFileName(m_path);
    if (m_file.open(fd, QIODevice::WriteOnly | QIODevice::Unbuffered, QFileDevice::AutoCloseHandle))
        return true;
    ::close(fd);
    setTrouble(m_file.errorString());
    return false;
}

void DebugLog::close()
{
    if (m_file.isOpen())
        m_file.close();
    m_path.clear();
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

void DebugLog::writeLine(const QString &line)
{
    if (m_path.isEmpty())
        return;
    if (!m_file.isOpen() && !openFile())
        return;
    const QByteArray bytes = oneLine(line) + "\r\n";
    if (m_file.write(bytes) != bytes.size()) {
        setTrouble(m_file.errorString());
        return;
    }
    setTrouble({});
}

void DebugLog::writeEvent(const QString &eventText)
{
    writeLine(DateTimeText::displayNow() + eventText);
}

} // namespace tavsms
