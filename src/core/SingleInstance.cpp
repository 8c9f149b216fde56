#include "SingleInstance.h"

namespace tavsms {

SingleInstance::SingleInstance(const QString &lockPath)
    : m_path(lockPath)
    , m_lock(lockPath)
{
    // Never treat a live owner's lock as stale, however old it is.
    m_lock.setStaleLockTime(0);
}

bool SingleInstance::acquire()
{
    return m_lock.isLocked() || m_lock.tryLock(0);
}

} // namespace tavsms
