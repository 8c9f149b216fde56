#pragma once

#include "Prompter.h"

#include <QCoroTask>
#include <QString>

#include <optional>

namespace tavsms {

class Database;
class HttpClient;

// The operator's dealings with the gateway account: "Check Balance", the
// Internet tab's "Apply" and "Check for Updates". Each ends in a box: the
// menu's two show theirs; Apply hands its box to the settings screen, which
// may have closed while the gateway answered.
class GatewayAccount
{
public:
    GatewayAccount(Database &db, HttpClient &client, Prompter &prompter);

    struct SenderIds
    {
        QString cdmaId;
        QString gsmId;
    };
    // Line 2 and line 3 of a "<br>"-separated reply, each "label:value".
    // Nothing (and the reason in *why) when the reply is not of that form.
    static std::optional<SenderIds> parseSenderIds(const QString &reply, QString *why = nullptr);

    struct ApplyResult
    {
        bool activated = false;
        QString cdmaId; // for the read-only boxes; empty unless activated
        QString gsmId;
        Prompter::Notice notice; // what the screen tells the operator
    };

    QCoro::Task<void> checkBalance();
    // Logs in with the boxes' user name and password, fetches the sender IDs
    // and saves the account as active. No password means "the stored one"
    // (the box still shows its placeholder).
    QCoro::Task<ApplyResult> apply(QString username, std::optional<QString> password);
    QCoro::Task<void> checkForUpdates();

    static QString connectionErrorText();
    static QString balanceErrorText();

private:
    Database &m_db;
    HttpClient &m_client;
    Prompter &m_prompter;
};

} // namespace tavsms
