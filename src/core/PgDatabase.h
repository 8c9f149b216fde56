#pragma once

#include "Database.h"

#include <functional>

struct pg_conn;

namespace tavsms {

// A PostgreSQL database shared by several workstations. Statements are
// prepared on the server once per session and kept; values travel as text
// and come back in the forms the SQLite store gives (integers, text,
// date-times as stored text in local time, see DateTimeText).
class PgDatabase : public Database
{
public:
    // Throws DbError when the server cannot be reached or refuses the login.
    explicit PgDatabase(const QString &url);
    ~PgDatabase() override;

    void execScript(const QString &sql) override;
    qint64 lastInsertId() override;
    int changes() const override { return m_changes; }
    bool inTransaction() const override;
    void begin() override;
    void commit() override;
    void rollback() noexcept override;

    // A new session after the server or the network went away, without
    // waiting: start, then poll whenever the socket is ready as the last
    // poll asked, until it says connected or failed. Statements prepared
    // before are prepared again as they are next used, and the session hook
    // runs again (and may throw DbError).
    enum class Progress { WaitRead, WaitWrite, Connected, Failed };
    Progress startReconnect();
    Progress pollReconnect();
    int socket() const;
    bool isConnected() const;
    bool isAvailable() const override { return isConnected(); }
    // Runs now and after each reconnect (session locks, say); it may throw DbError.
    void setSessionHook(std::function<void(PgDatabase &)> hook);

    // Told of every failure that lost the connection, before it is thrown.
    void setLostHandler(std::function<void(const QString &why)> handler) { m_lostHandler = std::move(handler); }

    // What a failed call left behind, as a DbError (connection lost or the server's reason).
    DbError failure(const QString &context, const void *result) const;

    pg_conn *handle() const { return m_conn; }
    int session() const { return m_session; }
    void setChanges(int changes) { m_changes = changes; }

protected:
    std::unique_ptr<StatementEngine> compile(const QString &sql) override;

private:
    void startSession();
    void command(const char *sql);

    pg_conn *m_conn = nullptr;
    int m_session = 0;
    int m_changes = 0;
    int m_nextName = 0;
    std::function<void(PgDatabase &)> m_sessionHook;
    std::function<void(const QString &)> m_lostHandler;
};

} // namespace tavsms
