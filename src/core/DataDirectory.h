#pragma once

#include <QString>

namespace tavsms {

// Where the program keeps its files: the per-user application data
// directory (tavsms.mdb, debug.txt, backups). They are the user's alone:
// the directory is 0700 and every file in it 0600, so that another local
// user reads nothing, whatever the umask.
namespace DataDirectory {

QString path();
QString databasePath();
QString debugLogPath();
// Creates the directory when missing and closes it to other users; an empty
// string on success, else why not.
QString ensureExists();

// Takes from an existing file or directory every right of group and others
// (and a file's execute bits): 0644 becomes 0600, 0755 on a directory 0700,
// while a file made read-only stays so. A symbolic link is left alone, as is
// a missing path. Empty on success, else why not.
QString makePrivate(const QString &path);
// makePrivate for every file in the data directory: files left by an earlier
// version, or copied in, may still be readable by others.
void makeFilesPrivate();

} // namespace DataDirectory
} // namespace tavsms
