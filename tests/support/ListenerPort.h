#pragma once

#include <QString>

namespace tavsms::test {

// Makes a program started on this database listen on a free port instead of
// 8081, so tests never collide with each other or with a running program.
// Creates the database (and its directory) when missing.
void useFreeListenerPort(const QString &databasePath);

} // namespace tavsms::test
