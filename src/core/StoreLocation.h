#pragma once

#include "StoreTimeouts.h"

#include <QString>
#include <QStringList>

namespace tavsms {

// Where the program keeps its data, and under which workstation name: the
// encrypted file in the data directory (the default), or a shared PostgreSQL
// database given by a URL such as postgresql://user@host/dbname?sslmode=require.
// The first of these that names one wins: the option --store URL, the
// environment variable TAVSMS_STORE, the line "store = URL" of tavsms.conf in
// the user's config directory. The workstation name is --workstation NAME,
// then TAVSMS_WORKSTATION, then "workstation = NAME" in tavsms.conf, then the
// host name.
struct StoreLocation
{
    QString url;          // empty: the local file
    QString workstation;  // meaningful on a shared store only
    QString error;        // tavsms.conf could not be read, or a value is unusable
    // "lease = SECONDS" in tavsms.conf shortens or lengthens the claims' lease
    // (a desk whose sends are all quick, or a slow gateway); leases are
    // looked for four times a lease at most.
    StoreTimeouts timeouts;

    bool isShared() const { return !url.isEmpty(); }
    // "the local file", or the server and database; never a password.
    QString describe() const;

    // `arguments` are the program's own (argv without argv[0] is fine too).
    static StoreLocation choose(const QStringList &arguments);
    static QString configPath();
    // The URL with any password taken out, for logs and screens.
    static QString withoutPassword(const QString &url);
};

} // namespace tavsms
