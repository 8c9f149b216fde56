#include "ListenerPort.h"

#include "Store.h"

#include <QDir>
#include <QFileInfo>

namespace tavsms::test {

void useFreeListenerPort(const QString &databasePath)
{
    QDir().mkpath(QFileInfo(databasePath).absolutePath());
    Store store(databasePath);
    store.db().exec(QStringLiteral("UPDATE config_network SET listenerPort = 0"));
}

} // namespace tavsms::test
