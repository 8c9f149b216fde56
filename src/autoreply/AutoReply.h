#pragma once

#include "Groups.h"

#include <QCoroTask>
#include <QString>

#include <optional>

namespace tavsms {

class Database;
class DebugLog;
class MessageQueue;
class PushClient;
struct AutoReplyRule;

// The keyword rules of a port, applied to each message the poller stored:
// reply, add the sender to a group, remove the sender from a group, or
// forward the message to a URL.
class AutoReply
{
public:
    AutoReply(Database &db, MessageQueue &queue, DebugLog &log, PushClient &push);

    // Evaluates the rules of `port` for one received message. Each step that
    // fails is skipped (into the debug log) and the rest still run.
    QCoro::Task<void> apply(QString port, QString sender, QString text);

    // Percent-encodes the characters of the push table, each exactly once.
    static QString urlEncode(const QString &text);
    // The first word as rules compare it: up to the first space, trimmed, lower-case.
    static QString firstWord(const QString &text);

private:
    void reply(const AutoReplyRule &rule, const QString &port, const QString &sender);
    void addToGroup(const QString &group, const QString &sender);
    void removeFromGroup(const QString &group, const QString &sender);
    QCoro::Task<void> push(const QString &urlTemplate, const QString &sender, const QString &text);
    void logFailure(const QString &what, const QString &why);

    Database &m_db;
    Groups m_groups;
    MessageQueue &m_queue;
    DebugLog &m_log;
    PushClient &m_push;
};

} // namespace tavsms
