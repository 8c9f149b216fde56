#include "GatewayAccount.h"

#include "AppInfo.h"
#include "Database.h"
#include "GatewayAccountRecord.h"
#include "HttpClient.h"
#include "NetworkSettings.h"
#include "Prompter.h"

#include <QStringList>

namespace tavsms {

namespace {

const QString kBr = QStringLiteral("<br>");
const QString kCr = QStringLiteral("\r");

QString withLineBreaks(QString text)
{
    return text.replace(kBr, kCr);
}

GatewayAccount::ApplyResult refused(const QString &title, const QString &text)
{
    return {false, {}, {}, {Prompter::Icon::Critical, title, text}};
}

} // namespace

GatewayAccount::GatewayAccount(Database &db, HttpClient &client, Prompter &prompter)
    : m_db(db)
    , m_client(client)
    , m_prompter(prompter)
{
}

QString GatewayAccount::connectionErrorText()
{
    return QStringLiteral("Unable to connect with the server. Please check your internet connection.");
}

QString GatewayAccount::balanceErrorText()
{
    return QStringLiteral("Please check your internet connection and be sure that you have configured internet "
                          "sms acccount from Configure>Internet SMS.");
}

std::optional<GatewayAccount::SenderIds> GatewayAccount::parseSenderIds(const QString &reply, QString *why)
{
    const auto refuse = [why](const QString &reason) -> std::optional<SenderIds> {
        if (why)
            *why = reason;
        return std::nullopt;
    };
    const QStringList lines = reply.split(kBr);
    if (lines.size() < 3)
        return refuse(QStringLiteral("it has %1 line(s), three are needed").arg(lines.size()));
    const auto valueOf = [](const QString &line) { return line.trimmed().section(QLatin1Char(':'), 1, 1).trimmed(); };
    for (int i : {1, 2}) {
        if (!lines[i].contains(QLatin1Char(':')))
            return refuse(QStringLiteral("line %1 has no \":\"").arg(i + 1));
        if (valueOf(lines[i]).isEmpty())
            return refuse(QStringLiteral("line %1 names no sender ID").arg(i + 1));
    }
    return SenderIds{valueOf(lines[1]), valueOf(lines[2])};
}

QCoro::Task<void> GatewayAccount::checkBalance()
{
    QUrl url;
    try {
        const GatewayAccountRecord account = GatewayAccountRecord::load(m_db);
        url = HttpClient::url(NetworkSettings::load(m_db).gatewayHost, QStringLiteral("/crinfo/crinfo.asp"),
                              {{QStringLiteral("userid"), account.username},
                               {QStringLiteral("pwd"), account.password}});
    } catch (const DbError &) {
        m_prompter.critical(QStringLiteral("Error"), balanceErrorText());
        co_return;
    }
    const HttpReply reply = co_await m_client.get(url);
    if (!reply.isOk()) {
        m_prompter.critical(QStringLiteral("Error"), balanceErrorText());
        co_return;
    }
    m_prompter.information(QStringLiteral("Balance Report"), withLineBreaks(reply.body));
}

QCoro::Task<GatewayAccount::ApplyResult> GatewayAccount::apply(QString username, std::optional<QString> password)
{
    QString savedPassword;
    QUrl url;
    try {
        savedPassword = password ? password->trimmed() : GatewayAccountRecord::load(m_db).password.trimmed();
        url = HttpClient::url(NetworkSettings::load(m_db).gatewayHost, QStringLiteral("/mess/syncids.asp"),
                              {{QStringLiteral("userid"), username.trimmed().toLower()},
                               {QStringLiteral("pwd"), savedPassword.toLower()}});
    } catch (const DbError &e) {
        co_return refused(QStringLiteral("Error Occured"), e.message());
    }

    const HttpReply reply = co_await m_client.get(url);
    if (!reply.isOk())
        co_return refused(QStringLiteral("Error"), connectionErrorText());
    const QString answer = reply.body.trimmed();
    try {
        if (answer == QLatin1String("Username and Password does not match.")
            || answer == QLatin1String("Username does not exists.")) {
            GatewayAccountRecord::setActive(m_db, false);
            co_return refused(QStringLiteral("Error Occured"),
                              QStringLiteral("Error Occured!! Username or Password is incorrect."));
        }
        QString why;
        const std::optional<SenderIds> ids = parseSenderIds(reply.body, &why);
        if (!ids)
            co_return refused(QStringLiteral("Error Occured"),
                              QStringLiteral("The gateway's sender-ID reply could not be read (%1). "
                                             "The account has not been activated.")
                                  .arg(why));
        GatewayAccountRecord::save(m_db, GatewayAccountRecord{username.trimmed(), savedPassword, ids->cdmaId,
                                                              ids->gsmId, true});
        co_return ApplyResult{true, ids->cdmaId, ids->gsmId,
                              {Prompter::Icon::Information, QStringLiteral("Success!"),
                               QStringLiteral("Settings has been changed.")}};
    } catch (const DbError &e) {
        co_return refused(QStringLiteral("Error Occured"), e.message());
    }
}

QCoro::Task<void> GatewayAccount::checkForUpdates()
{
    QUrl url;
    try {
        url = HttpClient::url(NetworkSettings::load(m_db).updateHost, QStringLiteral("/software/currentversion.html"));
    } catch (const DbError &) {
        m_prompter.critical(QStringLiteral("Error"), connectionErrorText());
        co_return;
    }
    const HttpReply reply = co_await m_client.get(url);
    if (!reply.received || reply.headers.section(QStringLiteral("\r\n"), 0, 0) != QLatin1String("HTTP/1.1 200 OK")) {
        m_prompter.critical(QStringLiteral("Error"), connectionErrorText());
        co_return;
    }
    const QString own = AppInfo::version();
    const QString text = reply.body == own
        ? QStringLiteral("Your software is upto date!")
        : QStringLiteral("Your Software Version: ") + own + kCr + QStringLiteral("Available Version: ") + reply.body
            + kCr + kCr + QStringLiteral("New update is available for you. Please visit our website to download.");
    m_prompter.information(QStringLiteral("Update Report"), withLineBreaks(text));
}

} // namespace tavsms
