#pragma once

#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <sys/stat.h>

namespace tavsms::test {

// Points the program's data directory (and the runtime directory) at a fresh
// temporary directory for the life of this object, so tests never touch the
// operator's files and can run side by side.
class TestDataDirectory
{
public:
    TestDataDirectory();
    ~TestDataDirectory();
    QString root() const { return m_dir.path(); }
    // This process's data directory inside it (where tavsms.mdb goes).
    QString appDir() const;
    // The data directory of the tavsms program started with this environment.
    QString programDir() const { return m_dir.filePath(QStringLiteral("data/tavsms")); }
    QString databasePath() const;

private:
    QTemporaryDir m_dir;
    QByteArray m_oldData;
    QByteArray m_oldRuntime;
};

// Sets the process's umask for the life of this object: files the program
// leaves to the umask would be readable by others under the common 022.
class Umask
{
public:
    explicit Umask(mode_t mask)
        : m_old(::umask(mask))
    {
    }
    ~Umask() { ::umask(m_old); }
    Umask(const Umask &) = delete;
    Umask &operator=(const Umask &) = delete;

private:
    mode_t m_old;
};

// The permission bits of a file, read back from the file system; -1 when
// it is missing. A symbolic link is followed.
inline int modeOf(const QString &path)
{
    struct stat st;
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 07777) : -1;
}

} // namespace tavsms::test
