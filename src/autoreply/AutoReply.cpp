#include "AutoReply.h"

#include "AutoReplyRules.h"
#include "Database.h"
#include "DebugLog.h"
#include "MessageQueue.h"
#include "PushClient.h"
#include "TextRules.h"

namespace tavsms {

AutoReply::AutoReply(Database &db, MessageQueue &queue, DebugLog &log, PushClient &push)
    : m_db(db)
    , m_groups(db)
    , m_queue(queue)
    , m_log(log)
    , m_push(push)
{
}

QString AutoReply::firstWord(const QString &text)
{
    const qsizetype space = text.indexOf(QLatin1Char(' '));
    return trimSpaces(space < 0 ? text : text.left(space)).toLower();
}

QString AutoReply::urlEncode(const QString &text)
{
    static const QString table = QStringLiteral(" !\"#$%&'()*+,-./:;<=>?@[\\]^_`{|}~");
    QString out;
    out.reserve(text.size() * 3);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('\r') && i + 1 < text.size() && text.at(i + 1) == QLatin1Char('\n')) {
            out += QStringLiteral("%0D%0A");
            ++i;
        } else if (table.contains(c)) {
            out += QStringLiteral("%%1").arg(c.unicode(), 2, 16, QLatin1Char('0')).toUpper();
        } else {
            out += c;
        }
    }
    return out;
}

void AutoReply::logFailure(const QString &what, const QString &why)
{
    m_log.writeEvent(QStringLiteral(" Auto Reply %1 failed - %2").arg(what, why));
}

QCoro::Task<void> AutoReply::apply(QString port, QString sender, QString text)
{
    // Copies, not references: the caller's strings may be gone while a push waits.
    const QString word = firstWord(text);
    std::optional<AutoReplyRule> match;
    std::optional<AutoReplyRule> wildCard;
    try {
        for (const AutoReplyRule &rule : AutoReplyRules(m_db).ofPort(port)) {
            const QString keyword = trimSpaces(rule.keyword).toLower();
            // An empty first word (an empty text, or one starting with a
            // blank) never names a keyword; it is left to the wild card.
            if (!word.isEmpty() && keyword == word) {
                match = rule;
                break;
            }
            if (keyword == QLatin1String("*"))
                wildCard = rule;
        }
    } catch (const DbError &e) {
        logFailure(QStringLiteral("rules of ") + port, e.message());
        co_return;
    }

    if (match) {
        const AutoReplyRule &r = *match;
        // A keyword whose action was never saved answers nothing (and, having
        // matched, keeps the wild card away).
        if (r.action.isEmpty())
            co_return;
        if (r.action != kPushAction)
            reply(r, port, sender);
        if (r.groupName == kNoGroupAction) {
            if (r.action == kPushAction && !r.pushUrl.isEmpty())
                co_await push(r.pushUrl, sender, text);
        } else if (r.groupDelete) {
            removeFromGroup(r.groupName, sender);
        } else if (r.groupAdd) {
            addToGroup(r.groupName, sender);
        }
    } else if (wildCard) {
        const AutoReplyRule &w = *wildCard;
        if (w.action == kPushAction && !w.pushUrl.isEmpty())
            co_await push(w.pushUrl, sender, text);
        else
            reply(w, port, sender);
    }
}

void AutoReply::reply(const AutoReplyRule &rule, const QString &port, const QString &sender)
{
    const QString text = joinLines(rule.response);
    if (text.isEmpty())
        return; // an empty SMS is never queued
    const EnqueueResult r = m_queue.addToQueue(lastTen(sender), text, trimSpaces(port));
    if (!r)
        logFailure(QStringLiteral("reply"), r.error);
}

void AutoReply::addToGroup(const QString &group, const QString &sender)
{
    try {
        if (m_groups.addMemberUnlessPresent(group, sender) == Groups::AddOutcome::NoSuchGroup)
            logFailure(QStringLiteral("group add"), QStringLiteral("there is no group %1").arg(group));
    } catch (const DbError &e) {
        logFailure(QStringLiteral("group add"), e.message());
    }
}

void AutoReply::removeFromGroup(const QString &group, const QString &sender)
{
    try {
        m_groups.removeMember(group, sender);
    } catch (const DbError &e) {
        logFailure(QStringLiteral("group delete"), e.message());
    }
}

QCoro::Task<void> AutoReply::push(const QString &urlTemplate, const QString &sender, const QString &text)
{
    QString url = urlTemplate;
    url.replace(QStringLiteral("@@sender@@"), sender);
    url.replace(QStringLiteral("@@message@@"), urlEncode(text));
    const PushReply reply = co_await m_push.get(url);
    m_log.writeEvent(QStringLiteral(" Push MSG to URL - ") + PushClient::addressForLog(url));
    m_log.writeEvent(QStringLiteral(" Push URL Response - ")
                     + (reply.ok ? QString::fromUtf8(reply.body) : QStringLiteral("Error: ") + reply.error));
}

} // namespace tavsms
