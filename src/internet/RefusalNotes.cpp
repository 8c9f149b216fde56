#include "RefusalNotes.h"

namespace tavsms {

RefusalNotes::RefusalNotes(DebugLog &log, std::chrono::milliseconds window)
    : m_log(log)
    , m_length(window)
{
    m_window.setSingleShot(true);
    QObject::connect(&m_window, &QTimer::timeout, &m_window, [this] { reportCount(); });
}

bool RefusalNotes::mayWrite()
{
    if (m_window.isActive()) {
        ++m_counted;
        return false;
    }
    m_window.start(m_length);
    return true;
}

void RefusalNotes::reportCount()
{
    if (m_counted == 0)
        return;
    m_log.writeEvent(QStringLiteral(" HTTP listener - %1 more connections refused or closed to make room").arg(m_counted));
    m_counted = 0;
    m_window.start(m_length);
}

} // namespace tavsms
