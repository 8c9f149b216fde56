#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace tavsms {

class Database;

// "TAVNA" in group_name: the rule changes no group.
inline const QString kNoGroupAction = QStringLiteral("TAVNA");
// auto_reply_action values.
inline const QString kPushAction = QStringLiteral("PUSH");
inline const QString kNoPushAction = QStringLiteral("NOPUSH");

// One keyword rule of a port, as stored. A keyword just created has only
// its keyword and port: no response and an empty action.
struct AutoReplyRule
{
    QString keyword;
    QString comPort;
    QString response;
    bool groupAdd = false;
    bool groupDelete = false;
    QString groupName;
    QString action;
    QString pushUrl;
};

// Every statement on auto_reply. Throws DbError.
class AutoReplyRules
{
public:
    explicit AutoReplyRules(Database &db) : m_db(db) {}

    // The port's rules in the order they were created.
    QList<AutoReplyRule> ofPort(const QString &comPort);
    QStringList keywordsOf(const QString &comPort);
    // The rule with exactly this keyword on the port.
    std::optional<AutoReplyRule> find(const QString &keyword, const QString &comPort);
    // Whether the port has the keyword in any letter case.
    bool hasKeyword(const QString &keyword, const QString &comPort);

    void create(const QString &keyword, const QString &comPort, const QDateTime &dated);
    // Writes the action of `rule` (found by its keyword and port).
    void saveAction(const AutoReplyRule &rule);
    void remove(const QString &keyword, const QString &comPort);

private:
    Database &m_db;
};

} // namespace tavsms
