#include "DebugLog.h"

#include "DateTimeText.h"

namespace tavsms {

QString DebugLog::open(const QString &path)
{
    close();
    m_file.setFileName(path);
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Append, QFileDevice::ReadOwner | QFileDevice::WriteOwner))
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
    m_file.write(line.toUtf8());
    m_file.write("\r\n", 2);
    m_file.flush();
}

void DebugLog::writeEvent(const QString &eventText)
{
    writeLine(DateTimeText::displayNow() + eventText);
}

} // namespace tavsms
