#include "PgServer.h"

#include "Database.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>

#include <csignal>
#include <pwd.h>
#include <unistd.h>

namespace tavsms::test {

namespace {

const QString kBin = QStringLiteral("/usr/lib/postgresql/15/bin/");

bool asRoot()
{
    return ::geteuid() == 0;
}

// Runs a server tool, as postgres when we are root; qFatal with its output on failure.
void run(const QString &tool, const QStringList &args)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    if (asRoot())
        p.start(QStringLiteral("runuser"), QStringList{QStringLiteral("-u"), QStringLiteral("postgres"), QStringLiteral("--"),
                                                       kBin + tool}
                                               + args);
    else
        p.start(kBin + tool, args);
    if (!p.waitForFinished(120000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        qFatal("%s failed: %s", qPrintable(tool), p.readAll().constData());
}

// A directory of an earlier test program that is no longer running: stop its server, remove it.
void sweepLeftovers()
{
    const QDir tmp = QDir::temp();
    for (const QString &name : tmp.entryList({QStringLiteral("tavsms-pg-*")}, QDir::Dirs)) {
        const QString dir = tmp.filePath(name);
        QFile owner(dir + QStringLiteral("/owner"));
        if (!owner.open(QIODevice::ReadOnly))
            continue;
        const pid_t pid = pid_t(owner.readAll().trimmed().toLongLong());
        if (pid > 0 && (::kill(pid, 0) == 0 || errno == EPERM))
            continue;
        QProcess::execute(asRoot() ? QStringLiteral("runuser") : kBin + QStringLiteral("pg_ctl"),
                          asRoot() ? QStringList{QStringLiteral("-u"), QStringLiteral("postgres"), QStringLiteral("--"),
                                                 kBin + QStringLiteral("pg_ctl"), QStringLiteral("-D"),
                                                 dir + QStringLiteral("/data"), QStringLiteral("-m"),
                                                 QStringLiteral("immediate"), QStringLiteral("stop")}
                                   : QStringList{QStringLiteral("-D"), dir + QStringLiteral("/data"), QStringLiteral("-m"),
                                                 QStringLiteral("immediate"), QStringLiteral("stop")});
        QDir(dir).removeRecursively();
    }
}

} // namespace

PgServer &PgServer::instance()
{
    static PgServer server(Durability::Quick);
    return server;
}

PgServer::PgServer(Durability durability)
    : m_durability(durability)
{
    sweepLeftovers();
    QByteArray templ = QDir::temp().filePath(QStringLiteral("tavsms-pg-XXXXXX")).toLocal8Bit();
    if (!::mkdtemp(templ.data()))
        qFatal("cannot make a directory for the test server");
    m_dir = QString::fromLocal8Bit(templ);
    QFile owner(m_dir + QStringLiteral("/owner"));
    if (!owner.open(QIODevice::WriteOnly) || owner.write(QByteArray::number(qint64(::getpid()))) <= 0)
        qFatal("cannot write %s", qPrintable(owner.fileName()));
    owner.close();
    if (asRoot()) {
        const passwd *pg = ::getpwnam("postgres");
        if (!pg)
            qFatal("there is no postgres user; install the postgresql package (make deps)");
        if (::chown(templ.constData(), pg->pw_uid, pg->pw_gid) != 0)
            qFatal("cannot hand %s to postgres", templ.constData());
    }
    run(QStringLiteral("initdb"), {QStringLiteral("-D"), m_dir + QStringLiteral("/data"), QStringLiteral("--auth=trust"),
                                   QStringLiteral("--username=postgres"), QStringLiteral("--encoding=UTF8"),
                                   QStringLiteral("--no-sync"), QStringLiteral("--no-instructions")});
    start();
}

PgServer::~PgServer()
{
    stop();
    QDir(m_dir).removeRecursively();
}

void PgServer::start()
{
    if (m_running)
        return;
    // Tests only need a server that is quick to use; benches measure the defaults.
    QString options = QStringLiteral("-k %1 -p %2 -c listen_addresses='' -c max_connections=200").arg(m_dir).arg(kPort);
    if (m_durability == Durability::Quick)
        options += QStringLiteral(" -c fsync=off -c full_page_writes=off");
    run(QStringLiteral("pg_ctl"), {QStringLiteral("-D"), m_dir + QStringLiteral("/data"), QStringLiteral("-l"),
                                   m_dir + QStringLiteral("/server.log"), QStringLiteral("-o"), options,
                                   QStringLiteral("-w"), QStringLiteral("start")});
    m_running = true;
}

void PgServer::stop()
{
    if (!m_running)
        return;
    run(QStringLiteral("pg_ctl"), {QStringLiteral("-D"), m_dir + QStringLiteral("/data"), QStringLiteral("-m"),
                                   QStringLiteral("fast"), QStringLiteral("-w"), QStringLiteral("stop")});
    m_running = false;
}

QString PgServer::settings() const
{
    return m_durability == Durability::Quick
        ? QStringLiteral("PostgreSQL 15 on a Unix socket, fsync and full_page_writes off, max_connections 200")
        : QStringLiteral("PostgreSQL 15 on a Unix socket, default durability (fsync, synchronous_commit and "
                         "full_page_writes on), default shared_buffers, max_connections 200");
}

QString PgServer::url(const QString &database) const
{
    return QStringLiteral("postgresql://postgres@/%1?host=%2&port=%3").arg(database, m_dir).arg(kPort);
}

QString PgServer::freshDatabase()
{
    const QString name = QStringLiteral("t%1").arg(++m_databases);
    auto admin = Database::connect(url(QStringLiteral("postgres")));
    admin->execScript(QStringLiteral("DROP DATABASE IF EXISTS %1").arg(name));
    admin->execScript(QStringLiteral("CREATE DATABASE %1").arg(name));
    return url(name);
}

} // namespace tavsms::test
