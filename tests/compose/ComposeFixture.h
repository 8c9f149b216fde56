#pragma once

#include "AppState.h"
#include "Database.h"
#include "QueueLog.h"
#include "RecordingPrompter.h"
#include "SharedStore.h"
#include "Store.h"
#include "TestDataDirectory.h"

#include <memory>

namespace tavsms::test {

// A fresh store with ports, groups and templates as a test sets them up.
struct ComposeFixture
{
    TestDataDirectory dir;
    Store &store = freshStore();
    AppState state;
    RecordingPrompter prompter;

    Database &db() { return store.db(); }

    // An active port, found on the machine at the last initialisation;
    // `pdu` ticks "Unicode and long messages".
    void presentPort(int index, const QString &operatorName, const QString &deviceType, bool pdu = false)
    {
        db().exec(QStringLiteral("UPDATE config_ports SET portActive = 1, systemPortNo = ?, deviceType = ?, "
                                 "mobileOperator = ?, pduMode = ? WHERE softwarePortNo = ?"),
                  {QStringLiteral("/dev/ttyX%1").arg(index), deviceType, operatorName, pdu,
                   kSoftwarePorts.at(index)});
        state.port(index).pdu = pdu && deviceType != QLatin1String("CDMA Mobile - Nokia");
        state.port(index).present = true;
        state.port(index).deviceClass = deviceType == QLatin1String("CDMA Mobile - Nokia") ? QStringLiteral("CDMA")
                                                                                            : QStringLiteral("GSM");
    }
    qint64 addGroup(const QString &name)
    {
        db().exec(QStringLiteral("INSERT INTO groups (dated, group_name) VALUES ('2026-01-01 00:00:00', ?)"), {name});
        return db().lastInsertId();
    }
    void addMember(qint64 group, const QString &number, const QString &name = {})
    {
        db().exec(QStringLiteral("INSERT INTO groups_mem (group_name, group_mem_mobile, group_mem_name) "
                                 "VALUES (?, ?, ?)"),
                  {group, number, name});
    }
    // Many members in one transaction.
    void addMembers(qint64 group, int count)
    {
        Transaction tx(db());
        for (int i = 0; i < count; ++i)
            addMember(group, QStringLiteral("9%1").arg(i, 9, 10, QLatin1Char('0')));
        tx.commit();
    }
    qint64 queued() { return QueueLog(db()).count(); }
    // "number|route|message" of every queued row, oldest first.
    QStringList rows() { return QueueLog(db()).rows(QStringLiteral("outgoing_mobileNo, com_port, outgoing_message")); }
};

} // namespace tavsms::test
