#include "DebugLog.h"

#include "DateTimeText.h"

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
    m_file.setFileName(path);
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Append))
        return QStringLiteral("Cannot open %1: %2").arg(path, m_file.errorString());
    return {};
}

void DebugLog::close()
{
    if (m_file.isOpen())
        m_file.close();
}

void DebugLog::writeLine(const QString &line)
{
    if (!m_file.isOpen())
        return;
    m_file.write(oneLine(line));
    m_file.write("\r\n", 2);
    m_file.flush();
}

void DebugLog::writeEvent(const QString &eventText)
{
    writeLine(DateTimeText::displayNow() + eventText);
}

} // namespace tavsms
