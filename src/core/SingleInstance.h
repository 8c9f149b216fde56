#pragma once

#include <QLockFile>
#include <QString>

namespace tavsms {

// One running program per user and data directory: a lock file beside the
// database. The lock holds the owner's process id, so a lock left by a
// program that died is taken over instead of blocking every later start.
class SingleInstance
{
public:
    explicit SingleInstance(const QString &lockPath);
    // True when this process now holds the lock; false while another
    // running instance holds it.
    bool acquire();
    QString lockPath() const { return m_path; }

private:
    QString m_path;
    QLockFile m_lock;
};

} // namespace tavsms
