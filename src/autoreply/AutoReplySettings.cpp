#include "AutoReplySettings.h"

#include "AppState.h"
#include "AutoReplyRules.h"
#include "Database.h"
#include "Groups.h"
#include "PortConfig.h"
#include "Prompter.h"
#include "TextRules.h"

#include <QDateTime>

namespace tavsms {

AutoReplySettings::AutoReplySettings(Database &db, Prompter &prompter)
    : m_db(db)
    , m_prompter(prompter)
{
}

QString AutoReplySettings::portOf(const QString &connectionName)
{
    return PortConfig::softwarePortOf(m_db, trimSpaces(connectionName));
}

void AutoReplySettings::refreshUrl(AutoReplyForm &form)
{
    if (!form.urlEnabled())
        form.url.clear();
}

AutoReplyForm AutoReplySettings::load()
{
    AutoReplyForm form;
    form.keywords = {kSelectKeyword};
    form.keyword = kSelectKeyword;
    form.option = Option::NoGroupAction;

    try {
        form.groups = Groups(m_db).names();
    } catch (const DbError &) {
    }
    if (form.groups.isEmpty())
        form.groups << kNoGroups;
    form.group = form.groups.first();

    QStringList connections;
    try {
        for (const PortConfig &row : PortConfig::loadActive(m_db))
            if (kSoftwarePorts.contains(row.softwarePortNo))
                connections << row.mobileOperator;
    } catch (const DbError &) {
    }
    if (connections.isEmpty())
        connections << kNoConnection;
    form.createConnections = form.actionConnections = connections;
    form.createConnection = form.actionConnection = connections.first();
    return form;
}

void AutoReplySettings::loadKeywords(AutoReplyForm &form)
{
    form.keywords.clear();
    try {
        form.keywords = AutoReplyRules(m_db).keywordsOf(portOf(form.actionConnection));
    } catch (const DbError &) {
    }
    if (form.keywords.isEmpty())
        form.keywords << kNoKeywords;
    form.keyword = form.keywords.first();
}

AutoReplySettings::Outcome AutoReplySettings::chooseActionConnection(AutoReplyForm form)
{
    if (form.actionConnection != kNoConnection)
        loadKeywords(form);
    return {form};
}

AutoReplySettings::Outcome AutoReplySettings::createKey(AutoReplyForm form)
{
    const QString typed = trimSpaces(form.keywordBox);
    if (typed.isEmpty() || form.createConnection == kNoConnection) {
        m_prompter.exclamation(QStringLiteral("You forget some thing"),
                               QStringLiteral("Please enter any keyword in the field and be sure that atleast one "
                                              "connection is active."));
        return {form, Field::KeywordBox};
    }
    try {
        AutoReplyRules rules(m_db);
        const QString port = portOf(form.createConnection);
        if (rules.hasKeyword(typed, port)) {
            m_prompter.exclamation(QStringLiteral("OOps..."),
                                   QStringLiteral("This keyword is already in use! Please choose other keyword"));
            return {form};
        }
        rules.create(typed, port, QDateTime::currentDateTime());
    } catch (const DbError &) {
        // Skipped like any failing step; the operator sees the outcome below.
    }
    m_prompter.exclamation(QStringLiteral("Added"), QStringLiteral("Keyword has been created."));

    // The action table shows the new keyword at once when it lists that
    // connection; a keyword the operator is working on stays chosen.
    if (form.createConnection == form.actionConnection) {
        const QString chosen = form.keyword;
        const bool working = chosen != kSelectKeyword && chosen != kNoKeywords;
        loadKeywords(form);
        if (working && form.keywords.contains(chosen)) {
            form.keyword = chosen;
        } else if (form.keywords.contains(typed)) {
            form.keyword = typed;
            showRule(form);
        }
    }
    form.keywordBox.clear();
    form.createConnection = form.createConnections.value(0);
    return {form};
}

void AutoReplySettings::showRule(AutoReplyForm &form)
{
    bool groupMissing = false;
    try {
        if (const auto rule = AutoReplyRules(m_db).find(form.keyword, portOf(form.actionConnection))) {
            form.reply = trimSpaces(rule->response);
            if (rule->groupAdd)
                form.option = Option::AddToGroup;
            else if (rule->groupDelete)
                form.option = Option::DeleteFromGroup;
            else
                form.option = Option::NoGroupAction;
            if (rule->action == kPushAction) {
                form.option = Option::PushSms;
                form.url = rule->pushUrl;
            }
            const QString ruleGroup = trimSpaces(rule->groupName);
            if (!ruleGroup.isEmpty() && ruleGroup != kNoGroupAction) {
                if (form.groups.contains(ruleGroup))
                    form.group = ruleGroup;
                else
                    groupMissing = true;
            }
        }
    } catch (const DbError &) {
        groupMissing = true;
    }
    refreshUrl(form);
    if (groupMissing)
        m_prompter.plain(applicationTitle(), QStringLiteral("Group applied to this keyword is not available"));
}

AutoReplySettings::Outcome AutoReplySettings::chooseKeyword(AutoReplyForm form)
{
    if (form.keyword != kNoKeywords)
        showRule(form);
    return {form};
}

AutoReplySettings::Outcome AutoReplySettings::chooseOption(AutoReplyForm form, Option chosen)
{
    form.option = chosen;
    Field focus = Field::None;
    if (chosen == Option::AddToGroup || chosen == Option::DeleteFromGroup) {
        if (form.group == kNoGroups) {
            m_prompter.exclamation(QStringLiteral("Group Error"),
                                   QStringLiteral("Please select a group from the list and then try again."));
            form.option = Option::NoGroupAction;
            focus = Field::GroupList;
        } else if (form.keyword == QLatin1String("*")) {
            m_prompter.exclamation(QStringLiteral("Group Error"),
                                   QStringLiteral("You can not set this option with wild card entry *."));
            form.option = Option::NoGroupAction;
            focus = Field::NoGroupOption;
        }
    }
    refreshUrl(form);
    return {form, focus};
}

AutoReplySettings::Outcome AutoReplySettings::leaveUrlBox(AutoReplyForm form)
{
    form.url = form.url.toLower();
    return {form};
}

AutoReplySettings::Outcome AutoReplySettings::saveKeyAction(AutoReplyForm form)
{
    if (form.actionConnection == kNoConnection) {
        m_prompter.exclamation(QStringLiteral("Error"),
                               QStringLiteral("No active connection is available. Please connect atleast a single "
                                              "mobile."));
        return {form};
    }
    if (trimSpaces(form.keyword).isEmpty()) {
        m_prompter.exclamation(QStringLiteral("Error"),
                               QStringLiteral("No keyword is available! Please create a keyword first."));
        return {form, Field::KeywordBox};
    }
    if (trimSpaces(form.reply).isEmpty()) {
        m_prompter.exclamation(QStringLiteral("Error"), QStringLiteral("You should specify some reply message."));
        return {form, Field::ReplyBox};
    }

    AutoReplyRule rule;
    rule.keyword = form.keyword;
    rule.response = form.reply;
    rule.groupName = kNoGroupAction;
    rule.action = kNoPushAction;
    switch (form.option) {
    case Option::AddToGroup: rule.groupAdd = true; rule.groupName = form.group; break;
    case Option::DeleteFromGroup: rule.groupDelete = true; rule.groupName = form.group; break;
    case Option::NoGroupAction: break;
    case Option::PushSms: {
        rule.action = kPushAction;
        rule.pushUrl = trimSpaces(form.url.toLower());
        if (rule.pushUrl.isEmpty() || !rule.pushUrl.contains(QLatin1String("http://"))
            || !rule.pushUrl.contains(QLatin1String("@@sender@@"))
            || !rule.pushUrl.contains(QLatin1String("@@message@@"))) {
            m_prompter.exclamation(QStringLiteral("Error"),
                                   QStringLiteral("Your URL should contain HTTP. Push URL should also contain two "
                                                  "parameter values @@sender@@ and @@message@@."));
            return {form, Field::UrlBox};
        }
        break;
    }
    }

    try {
        rule.comPort = portOf(form.actionConnection);
        AutoReplyRules(m_db).saveAction(rule);
    } catch (const DbError &e) {
        m_prompter.plain(applicationTitle(), QStringLiteral("auto_reply: ") + e.message());
        return {form};
    }
    m_prompter.information(QStringLiteral("Success"), QStringLiteral("Keyword details has been updated!"));
    // Ready for the next keyword: the first one chosen, and what it does
    // shown, so the form never pairs a keyword with somebody else's reply.
    form.keyword = form.keywords.value(0);
    form.group = form.groups.value(0);
    form.reply.clear();
    form.option = Option::NoGroupAction;
    showRule(form);
    return {form};
}

QCoro::Task<AutoReplySettings::Outcome> AutoReplySettings::deleteKeyword(AutoReplyForm form)
{
    if (form.actionConnection == kNoConnection || form.keyword == kNoKeywords)
        co_return Outcome{form};
    if (!co_await m_prompter.question(QStringLiteral("Delete Keyword"),
                                      QStringLiteral("Are you sure to delete keyword ") + form.keyword
                                          + QLatin1Char('?'),
                                      Prompter::Icon::Question, Prompter::Default::Cancel))
        co_return Outcome{form};
    try {
        AutoReplyRules(m_db).remove(form.keyword, portOf(form.actionConnection));
    } catch (const DbError &e) {
        m_prompter.plain(applicationTitle(), QStringLiteral("auto_reply: ") + e.message());
        co_return Outcome{form};
    }
    m_prompter.information(QStringLiteral("Keyword Deleted"), QStringLiteral("Keyword has been deleted."));
    loadKeywords(form);
    form.reply.clear();
    form.option = Option::NoGroupAction;
    showRule(form);
    co_return Outcome{form};
}

} // namespace tavsms
