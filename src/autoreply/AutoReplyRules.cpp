#include "AutoReplyRules.h"

#include "Database.h"
#include "DateTimeText.h"

namespace tavsms {

namespace {

AutoReplyRule readRule(const Statement &st)
{
    AutoReplyRule r;
    r.keyword = st.text(QStringLiteral("auto_reply_keyword"));
    r.comPort = st.text(QStringLiteral("com_port"));
    r.response = st.text(QStringLiteral("auto_reply_response"));
    r.groupAdd = st.boolean(QStringLiteral("group_add"));
    r.groupDelete = st.boolean(QStringLiteral("group_delete"));
    r.groupName = st.text(QStringLiteral("group_name"));
    r.action = st.text(QStringLiteral("auto_reply_action"));
    r.pushUrl = st.text(QStringLiteral("auto_reply_push_url"));
    return r;
}

} // namespace

QList<AutoReplyRule> AutoReplyRules::ofPort(const QString &comPort)
{
    Statement st = m_db.prepare(QStringLiteral("SELECT * FROM auto_reply WHERE com_port = ? ORDER BY id"));
    st.bind(1, comPort);
    QList<AutoReplyRule> rules;
    while (st.next())
        rules << readRule(st);
    return rules;
}

QStringList AutoReplyRules::keywordsOf(const QString &comPort)
{
    Statement st = m_db.prepare(QStringLiteral("SELECT auto_reply_keyword FROM auto_reply WHERE com_port = ? ORDER BY id"));
    st.bind(1, comPort);
    QStringList keywords;
    while (st.next())
        keywords << st.text(QStringLiteral("auto_reply_keyword"));
    return keywords;
}

std::optional<AutoReplyRule> AutoReplyRules::find(const QString &keyword, const QString &comPort)
{
    Statement st = m_db.prepare(QStringLiteral("SELECT * FROM auto_reply WHERE auto_reply_keyword = ? AND com_port = ? "
                                               "ORDER BY id"));
    st.bind(1, keyword).bind(2, comPort);
    if (!st.next())
        return std::nullopt;
    AutoReplyRule rule = readRule(st);
    while (st.next()) {
    } // read to the end, so the statement is ready for its next use
    return rule;
}

bool AutoReplyRules::hasKeyword(const QString &keyword, const QString &comPort)
{
    // Compared in Qt, not with SQL's lower(), which folds ASCII letters only.
    const QString wanted = keyword.toLower();
    for (const QString &existing : keywordsOf(comPort))
        if (existing.toLower() == wanted)
            return true;
    return false;
}

void AutoReplyRules::create(const QString &keyword, const QString &comPort, const QDateTime &dated)
{
    m_db.exec(QStringLiteral("INSERT INTO auto_reply (dated, auto_reply_keyword, com_port) VALUES (?, ?, ?)"),
              {DateTimeText::stored(dated), keyword, comPort});
}

void AutoReplyRules::saveAction(const AutoReplyRule &rule)
{
    m_db.exec(QStringLiteral("UPDATE auto_reply SET auto_reply_response = ?, group_add = ?, group_delete = ?, "
                             "group_name = ?, auto_reply_action = ?, auto_reply_push_url = ? "
                             "WHERE auto_reply_keyword = ? AND com_port = ?"),
              {rule.response, rule.groupAdd, rule.groupDelete, rule.groupName, rule.action, rule.pushUrl, rule.keyword,
               rule.comPort});
}

void AutoReplyRules::remove(const QString &keyword, const QString &comPort)
{
    m_db.exec(QStringLiteral("DELETE FROM auto_reply WHERE auto_reply_keyword = ? AND com_port = ?"), {keyword, comPort});
}

} // namespace tavsms
