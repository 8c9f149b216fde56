#include "TestDataDirectory.h"

#include "DataDirectory.h"

#include <QDir>
#include <QFile>

namespace tavsms::test {

TestDataDirectory::TestDataDirectory()
    : m_oldData(qgetenv("XDG_DATA_HOME"))
    , m_oldRuntime(qgetenv("XDG_RUNTIME_DIR"))
{
    QDir(m_dir.path()).mkpath(QStringLiteral("data"));
    QDir(m_dir.path()).mkpath(QStringLiteral("runtime"));
    QFile::setPermissions(m_dir.filePath(QStringLiteral("runtime")),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("XDG_DATA_HOME", m_dir.filePath(QStringLiteral("data")).toUtf8());
    qputenv("XDG_RUNTIME_DIR", m_dir.filePath(QStringLiteral("runtime")).toUtf8());
}

TestDataDirectory::~TestDataDirectory()
{
    qputenv("XDG_DATA_HOME", m_oldData);
    qputenv("XDG_RUNTIME_DIR", m_oldRuntime);
}

QString TestDataDirectory::appDir() const
{
    return DataDirectory::path();
}

QString TestDataDirectory::databasePath() const
{
    return DataDirectory::databasePath();
}

} // namespace tavsms::test
