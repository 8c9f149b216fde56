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
    // The server of this test program, started on first use. Fails the
    // program (qFatal) with initdb's or the server's own words when it
    // cannot start: these tests are never skipped.
    static PgServer &instance();

    // A new, empty database; its URL.
    QString freshDatabase();
    QString url(const QString &database) const;
    QString socketDir() const { return m_dir; }
    int port() const { return kPort; }

    // For tests of a server that goes away under a running program.
    void stop();
    void start();

    ~PgServer();

private:
    PgServer();
    static constexpr int kPort = 54329;
    QString m_dir;
    int m_databases = 0;
    bool m_running = false;
};

} // namespace tavsms::test
