#include "ModemHealth.h"

#include "AtDialogue.h"
#include "DebugLog.h"
#include "ModemPort.h"
#include "ReplyLines.h"

namespace tavsms::ModemHealth {

namespace {

// The fields after "<prefix> " on the reply's line that starts with it.
QStringList fieldsOf(const QString &reply, QLatin1String prefix)
{
    for (const QString &line : ReplyLines::completeLines(reply)) {
        const QString t = line.trimmed();
        if (t.startsWith(prefix))
            return t.mid(prefix.size()).trimmed().split(QLatin1Char(','));
    }
    return {};
}

// One command and its answer; the answer's text when it ended on OK.
QCoro::Task<std::optional<QString>> ask(ModemPort &port, AppState &state, const QString &command,
                                         std::chrono::milliseconds timeout, bool *aborted)
{
    if (!AtDialogue::writeCommand(port, command))
        co_return std::nullopt;
    const AtDialogue::Reply reply = co_await AtDialogue::waitForReply(port, state, timeout);
    *aborted = reply.outcome == AtDialogue::Outcome::Aborted;
    if (!reply.ok())
        co_return std::nullopt;
    co_return reply.text;
}

} // namespace

std::optional<int> signalDbm(const QString &reply)
{
    const QStringList f = fieldsOf(reply, QLatin1String("+CSQ:"));
    bool ok = false;
    const int rssi = f.value(0).trimmed().toInt(&ok);
    if (!ok || rssi < 0 || rssi > 31)
        return std::nullopt;
    return -113 + 2 * rssi;
}

int bars(int dbm)
{
    if (dbm >= -73)
        return 5;
    if (dbm >= -83)
        return 4;
    if (dbm >= -93)
        return 3;
    if (dbm >= -103)
        return 2;
    return dbm > -113 ? 1 : 0;
}

Registration registration(const QString &reply)
{
    const QStringList f = fieldsOf(reply, QLatin1String("+CREG:"));
    if (f.isEmpty())
        return Registration::Unknown;
    // "+CREG: n,stat[,lac,ci]" to the query; "+CREG: stat" from some devices.
    bool ok = false;
    const int stat = f.value(f.size() >= 2 ? 1 : 0).trimmed().toInt(&ok);
    if (!ok)
        return Registration::Unknown;
    switch (stat) {
    case 0: return Registration::NotRegistered;
    case 1: return Registration::Home;
    case 2: return Registration::Searching;
    case 3: return Registration::Denied;
    case 5: return Registration::Roaming;
    default: return Registration::Unknown;
    }
}

QString operatorName(const QString &reply)
{
    const QStringList f = fieldsOf(reply, QLatin1String("+COPS:"));
    if (f.size() < 3)
        return {};
    QString name = f.mid(2, f.size() - 2 - (f.size() > 3 ? 1 : 0)).join(QLatin1Char(','));
    name = name.trimmed();
    if (name.startsWith(QLatin1Char('"')) && name.endsWith(QLatin1Char('"')) && name.size() >= 2)
        name = name.mid(1, name.size() - 2);
    return name;
}

QString identity(const QString &reply)
{
    for (const QString &line : ReplyLines::completeLines(reply)) {
        QString t = line.trimmed();
        if (t.startsWith(QLatin1String("+CGSN:")) || t.startsWith(QLatin1String("+CIMI:")))
            t = t.mid(6).trimmed().remove(QLatin1Char('"'));
        if (t.isEmpty())
            continue;
        bool digits = true;
        for (QChar c : t)
            digits = digits && c.isDigit();
        if (digits)
            return t;
    }
    return {};
}

QCoro::Task<void> readIdentity(ModemPort &port, AppState &state, int index, std::chrono::milliseconds timeout)
{
    PortHealth health = state.port(index).health;
    bool aborted = false;
    if (const auto imei = co_await ask(port, state, QStringLiteral("AT+CGSN"), timeout, &aborted)) {
        health.imei = identity(*imei);
        health.lastAnswer = state.now();
    }
    if (aborted)
        co_return;
    if (const auto imsi = co_await ask(port, state, QStringLiteral("AT+CIMI"), timeout, &aborted)) {
        health.imsi = identity(*imsi);
        health.lastAnswer = state.now();
    }
    if (aborted)
        co_return;
    if (const auto cops = co_await ask(port, state, QStringLiteral("AT+COPS?"), timeout, &aborted)) {
        health.operatorName = operatorName(*cops);
        health.lastAnswer = state.now();
    }
    state.setPortHealth(index, health);
}

QCoro::Task<bool> readSignal(ModemPort &port, AppState &state, int index, std::chrono::milliseconds timeout,
                             DebugLog &log)
{
    state.port(index).lastHealthRead = state.now();
    const PortHealth before = state.port(index).health;
    PortHealth health = before;
    bool aborted = false;
    if (const auto csq = co_await ask(port, state, QStringLiteral("AT+CSQ"), timeout, &aborted)) {
        const std::optional<int> dbm = signalDbm(*csq);
        health.hasSignal = dbm.has_value();
        health.signalDbm = dbm.value_or(0);
        health.bars = dbm ? bars(*dbm) : 0;
        health.lastAnswer = state.now();
    }
    if (aborted)
        co_return false;
    if (const auto creg = co_await ask(port, state, QStringLiteral("AT+CREG?"), timeout, &aborted)) {
        health.registration = registration(*creg);
        health.lastAnswer = state.now();
    }
    if (aborted)
        co_return false;
    if (before.takesAuto() != health.takesAuto()) {
        const QString name = kSoftwarePorts.at(index);
        const QString how = PortHealth::registrationText(health.registration);
        log.writeEvent(health.takesAuto()
                           ? QStringLiteral(" %1 - registered (%2): back in Auto routing").arg(name, how)
                           : QStringLiteral(" %1 - not registered (%2): left out of Auto routing").arg(name, how));
    }
    state.setPortHealth(index, health);
    co_return true;
}

} // namespace tavsms::ModemHealth
