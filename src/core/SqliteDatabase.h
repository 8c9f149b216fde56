#pragma once

#include "Database.h"

struct sqlite3;

namespace tavsms {

// The keyed SQLCipher file.
class SqliteDatabase : public Database
{
public:
    SqliteDatabase(sqlite3 *db, QString path);
    ~SqliteDatabase() override;

    void execScript(const QString &sql) override;
    qint64 lastInsertId() override;
    int changes() const override;
    bool inTransaction() const override;
    void begin() override;
    void commit() override;
    void rollback() noexcept override;

    sqlite3 *handle() const { return m_db; }

protected:
    std::unique_ptr<StatementEngine> compile(const QString &sql) override;

private:
    sqlite3 *m_db;
};

} // namespace tavsms
