#pragma once

#include <QString>
#include <QTemporaryDir>

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

} // namespace tavsms::test
