#pragma once

namespace tavsms {

class Database;

// Creates the tables of a new database and brings an older one up to date.
// The version lives in PRAGMA user_version (in table schema_version on a
// shared store); each step runs in its own transaction, so a failure leaves
// the database at the previous version.
namespace Schema {

constexpr int kCurrentVersion = 7;

// Brings the file up to targetVersion (a lower target leaves a file as an
// older release wrote it). Throws DbError (for example when the file is
// newer than this program).
void upgrade(Database &db, int targetVersion = kCurrentVersion);
int version(Database &db);

} // namespace Schema
} // namespace tavsms
