#pragma once

#include <QString>

namespace tavsms {

class PgDatabase;

// The workstations of a shared store. Each live program holds its name for
// as long as its session lasts (a server-side lock that ends with the
// session, also when the program is killed), so a second program under the
// same name is refused. A workstation's first start gives it its own five
// port rows and its own listener settings.
namespace Workstations {

// Takes the name for this session and makes the workstation's rows. Throws
// DbError when another live program holds the name.
void enter(PgDatabase &db, const QString &name);

} // namespace Workstations
} // namespace tavsms
