#include "AutoReplySettings.h"

#include "AppState.h"
#include "Database.h"
#include "DateTimeText.h"
#include "Groups.h"
#include "PortConfig.h"
#include "Prompter.h"
#include "TextRules.h"

namespace tavsms {

namespace {
const QString kNoGroup = QStringLiteral("TAVNA");
} // namespace

AutoReplySettings::AutoReplySettings(Database &db, Prompter &prompter, QObject *parent)
    : QObject(parent)
    , m_db(db)
    , m_prompter(prompter)
{
}

QString AutoReplySettings::portOf(const QString &connectionName)
{
    return PortConfig::softwarePortOf(m_db, trimSpaces(connectionName));
}

void AutoReplySettings::open()
{
    keywords = {kSelectKeyword};
    keyword = kSelectKeyword;
    option = Option::NoGroupAction;

    groups.clear();
    try {
        groups = Groups(m_db).names();
    } catch (const DbError &) {
    }
    if (groups.isEmpty())
        groups << kNoGroups;
    group = groups.first();

    QStringList connections;
    try {
        for (const PortConfig &row : PortConfig::loadActive(m_db))
            if (kSoftwarePorts.contains(row.softwarePortNo))
                connections << row.mobileOperator;
    } catch (const DbError &) {
    }
    if (connections.isEmpty())
        connections << kNoConnection;
    createConnections = actionConnections = connections;
    createConnection = actionConnection = connections.first();
    refreshUrl();
    Q_EMIT changed();
}

void AutoReplySettings::loadKeywords()
{
    keywords.clear();
    try {
        Statement st = m_db.prepare(QStringLiteral("SELECT auto_reply_keyword FROM auto_reply WHERE com_port = ? "
                                                   "ORDER BY id"));
        st.bind(1, portOf(actionConnection));
        while (st.next())
            keywords << st.text(QStringLiteral("auto_reply_keyword"));
    } catch (const DbError &) {
    }
    if (keywords.isEmpty())
        keywords << kNoKeywords;
    keyword = keywords.first();
}

void AutoReplySettings::chooseActionConnection(const QString &name)
{
    actionConnection = name;
    if (name == kNoConnection)
        return;
    loadKeywords();
    Q_EMIT changed();
}

void AutoReplySettings::createKey()
{
    const QString typed = trimSpaces(keywordBox);
    if (typed.isEmpty() || createConnection == kNoConnection) {
        m_prompter.exclamation(QStringLiteral("You forget some thing"),
                               QStringLiteral("Please enter any keyword in the field and be sure that atleast one "
                                              "connection is active."));
        Q_EMIT focusRequested(Field::KeywordBox);
        return;
    }
    try {
        const QString port = portOf(createConnection);
        Statement st = m_db.prepare(QStringLiteral("SELECT auto_reply_keyword FROM auto_reply WHERE com_port = ?"));
        st.bind(1, port);
        while (st.next()) {
            if (st.text(QStringLiteral("auto_reply_keyword")).toLower() == typed.toLower()) {
                m_prompter.exclamation(QStringLiteral("OOps..."),
                                       QStringLiteral("This keyword is already in use! Please choose other keyword"));
                return;
            }
        }
        m_db.exec(QStringLiteral("INSERT INTO auto_reply (dated, auto_reply_keyword, com_port) VALUES (?, ?, ?)"),
                  {DateTimeText::storedNow(), typed, port});
    } catch (const DbError &) {
        // Skipped like any failing step; the operator sees the outcome below.
    }
    m_prompter.exclamation(QStringLiteral("Added"), QStringLiteral("Keyword has been created."));
    keywordBox.clear();
    createConnection = createConnections.value(0);
    Q_EMIT changed();
}

void AutoReplySettings::chooseKeyword(const QString &name)
{
    keyword = name;
    if (name == kNoKeywords)
        return;
    bool groupMissing = false;
    try {
        Statement st = m_db.prepare(QStringLiteral("SELECT * FROM auto_reply WHERE auto_reply_keyword = ? "
                                                   "AND com_port = ?"));
        st.bind(1, name).bind(2, portOf(actionConnection));
        if (st.next()) {
            replyBox = trimSpaces(st.text(QStringLiteral("auto_reply_response")));
            if (st.boolean(QStringLiteral("group_add")))
                option = Option::AddToGroup;
            else if (st.boolean(QStringLiteral("group_delete")))
                option = Option::DeleteFromGroup;
            else
                option = Option::NoGroupAction;
            if (st.text(QStringLiteral("auto_reply_action")) == QLatin1String("PUSH")) {
                option = Option::PushSms;
                urlBox = st.text(QStringLiteral("auto_reply_push_url"));
            }
            const QString ruleGroup = trimSpaces(st.text(QStringLiteral("group_name")));
            if (!ruleGroup.isEmpty() && ruleGroup != kNoGroup) {
                if (groups.contains(ruleGroup))
                    group = ruleGroup;
                else
                    groupMissing = true;
            }
        }
    } catch (const DbError &) {
        groupMissing = true;
    }
    if (option != Option::PushSms)
        urlBox.clear();
    Q_EMIT changed();
    if (groupMissing)
        m_prompter.plain(applicationTitle(), QStringLiteral("Group applied to this keyword is not available"));
}

void AutoReplySettings::chooseOption(Option chosen)
{
    option = chosen;
    if (chosen == Option::AddToGroup || chosen == Option::DeleteFromGroup) {
        if (group == kNoGroups) {
            m_prompter.exclamation(QStringLiteral("Group Error"),
                                   QStringLiteral("Please select a group from the list and then try again."));
            option = Option::NoGroupAction;
            Q_EMIT focusRequested(Field::GroupList);
        } else if (keyword == QLatin1String("*")) {
            m_prompter.exclamation(QStringLiteral("Group Error"),
                                   QStringLiteral("You can not set this option with wild card entry *."));
            option = Option::NoGroupAction;
            Q_EMIT focusRequested(Field::NoGroupOption);
        }
    }
    refreshUrl();
    Q_EMIT changed();
}

void AutoReplySettings::refreshUrl()
{
    if (!urlEnabled())
        urlBox.clear();
}

void AutoReplySettings::leaveUrlBox()
{
    urlBox = urlBox.toLower();
    Q_EMIT changed();
}

void AutoReplySettings::saveKeyAction()
{
    if (actionConnection == kNoConnection) {
        m_prompter.exclamation(QStringLiteral("Error"),
                               QStringLiteral("No active connection is available. Please connect atleast a single "
                                              "mobile."));
        return;
    }
    if (trimSpaces(keyword).isEmpty()) {
        m_prompter.exclamation(QStringLiteral("Error"),
                               QStringLiteral("No keyword is available! Please create a keyword first."));
        Q_EMIT focusRequested(Field::KeywordBox);
        return;
    }
    if (trimSpaces(replyBox).isEmpty()) {
        m_prompter.exclamation(QStringLiteral("Error"), QStringLiteral("You should specify some reply message."));
        Q_EMIT focusRequested(Field::ReplyBox);
        return;
    }

    bool add = false, remove = false;
    QString action = QStringLiteral("NOPUSH"), url, groupName = kNoGroup;
    switch (option) {
    case Option::AddToGroup: add = true; groupName = group; break;
    case Option::DeleteFromGroup: remove = true; groupName = group; break;
    case Option::NoGroupAction: break;
    case Option::PushSms: {
        action = QStringLiteral("PUSH");
        url = trimSpaces(urlBox.toLower());
        if (url.isEmpty() || !url.contains(QLatin1String("http://")) || !url.contains(QLatin1String("@@sender@@"))
            || !url.contains(QLatin1String("@@message@@"))) {
            m_prompter.exclamation(QStringLiteral("Error"),
                                   QStringLiteral("Your URL should contain HTTP. Push URL should also contain two "
                                                  "parameter values @@sender@@ and @@message@@."));
            Q_EMIT focusRequested(Field::UrlBox);
            return;
        }
        break;
    }
    }

    try {
        m_db.exec(QStringLiteral("UPDATE auto_reply SET auto_reply_response = ?, group_add = ?, group_delete = ?, "
                                 "group_name = ?, auto_reply_action = ?, auto_reply_push_url = ? "
                                 "WHERE auto_reply_keyword = ? AND com_port = ?"),
                  {replyBox, add, remove, groupName, action, url, keyword, portOf(actionConnection)});
    } catch (const DbError &e) {
        m_prompter.plain(applicationTitle(), QStringLiteral("auto_reply: ") + e.message());
        return;
    }
    m_prompter.information(QStringLiteral("Success"), QStringLiteral("Keyword details has been updated!"));
    keyword = keywords.value(0);
    group = groups.value(0);
    replyBox.clear();
    option = Option::NoGroupAction;
    refreshUrl();
    Q_EMIT changed();
}

QCoro::Task<void> AutoReplySettings::deleteKeyword()
{
    if (actionConnection == kNoConnection || keyword == kNoKeywords)
        co_return;
    const QString doomed = keyword;
    const QString port = portOf(actionConnection);
    if (!co_await m_prompter.question(QStringLiteral("Delete Keyword"),
                                      QStringLiteral("Are you sure to delete keyword ") + doomed + QLatin1Char('?'),
                                      Prompter::Icon::Question, Prompter::Default::Cancel))
        co_return;
    try {
        m_db.exec(QStringLiteral("DELETE FROM auto_reply WHERE auto_reply_keyword = ? AND com_port = ?"),
                  {doomed, port});
    } catch (const DbError &e) {
        m_prompter.plain(applicationTitle(), QStringLiteral("auto_reply: ") + e.message());
        co_return;
    }
    m_prompter.information(QStringLiteral("Keyword Deleted"), QStringLiteral("Keyword has been deleted."));
    loadKeywords();
    Q_EMIT changed();
}

} // namespace tavsms
