#pragma once

#include <QString>

namespace tavsms {

// Where the program keeps its files: the per-user application data
// directory (tavsms.mdb, debug.txt, backups).
namespace DataDirectory {

QString path();
QString databasePath();
QString debugLogPath();
// Creates the directory when missing; an empty string on success, else why not.
QString ensureExists();

} // namespace DataDirectory
} // namespace tavsms
