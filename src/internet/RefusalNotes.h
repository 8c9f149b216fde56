#pragma once

#include "DebugLog.h"

#include <QString>
#include <QTimer>

#include <chrono>

namespace tavsms {

// The listener's lines about connections refused or pushed out: one line,
// then at most one per window saying how many more came meanwhile, so that
// a flood does not fill the debug log.
class RefusalNotes
{
public:
    RefusalNotes(DebugLog &log, std::chrono::milliseconds window);

    // `line` is composed only when it is written.
    template<typename Compose>
    void note(Compose line)
    {
        if (mayWrite())
            m_log.writeEvent(line());
    }
    // Nothing noted for a whole window: the next note has its line.
    bool quiet() const { return !m_window.isActive(); }

private:
    bool mayWrite();
    void reportCount();

    DebugLog &m_log;
    std::chrono::milliseconds m_length;
    QTimer m_window;
    int m_counted = 0;
};

} // namespace tavsms
