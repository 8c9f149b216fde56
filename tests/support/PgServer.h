#pragma once

#include <QString>

namespace tavsms::test {

// A throw-away PostgreSQL server for the tests: a cluster made with initdb in
// a temporary directory, listening only on a Unix socket there, and stopped
// with the test program. As root (CI) the server runs as the postgres user,
// which the server demands. Servers left behind by a test program that died
// are stopped by the next one.
class PgServer
{
public:
    // Quick: no syncs to the disk (tests). Durable: the server's own
    // defaults (fsync, synchronous_commit and full_page_writes on), for benches.
    enum class Durability { Quick, Durable };

    // The server of this test program, started on first use. Fails the
    // program (qFatal) with initdb's or the server's own words when it
    // cannot start: these tests are never skipped.
    static PgServer &instance();
    // A server of the caller's own, started at once; stopped and removed with it.
    explicit PgServer(Durability durability);

    // A new, empty database; its URL.
    QString freshDatabase();
    QString url(const QString &database) const;
    QString socketDir() const { return m_dir; }
    int port() const { return kPort; }

    // For tests of a server that goes away under a running program.
    void stop();
    void start();

    ~PgServer();
    PgServer(const PgServer &) = delete;
    PgServer &operator=(const PgServer &) = delete;

    // The settings the server runs with, as a line for printed figures.
    QString settings() const;

private:
    static constexpr int kPort = 54329;
    Durability m_durability;
    QString m_dir;
    int m_databases = 0;
    bool m_running = false;
};

} // namespace tavsms::test
