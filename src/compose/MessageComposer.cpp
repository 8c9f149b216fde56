#include "MessageComposer.h"

#include "Database.h"
#include "Prompter.h"
#include "Store.h"
#include "TextRules.h"

namespace tavsms {

MessageComposer::MessageComposer(Store &store, const AppState &state, Prompter &prompter)
    : m_store(store)
    , m_prompter(prompter)
    , m_connections(store.db(), state)
    , m_groups(store.db())
    , m_templates(store.db())
{
}

ComposeState MessageComposer::load()
{
    ComposeState s;
    QStringList failures;
    try {
        s.modems = m_connections.entries();
    } catch (const DbError &e) {
        s.modems = QStringList{kRouteAuto, kRouteGateway};
        failures << e.message();
    }
    try {
        s.groups = m_groups.names();
    } catch (const DbError &e) {
        failures << e.message();
    }
    s.hasGroups = !s.groups.isEmpty();
    if (!s.hasGroups)
        s.groups = QStringList{kNoGroups};
    try {
        for (const Template &t : m_templates.all())
            s.templateTitles << t.title;
    } catch (const DbError &e) {
        failures << e.message();
    }
    s.limit = lengthLimit(kRouteAuto, LengthLimit::ofCharacters(ConnectionChoice::kGsmLimit));
    if (!failures.isEmpty())
        showDatabaseError(QStringLiteral("Some lists could not be read"), failures.join(QLatin1Char('\n')));
    return s;
}

LengthLimit MessageComposer::lengthLimit(const QString &modemEntry, const LengthLimit &current)
{
    // Parts belong to a port in PDU mode; the gateway takes what a GSM phone takes.
    const LengthLimit unchanged = current.inParts ? LengthLimit::ofCharacters(ConnectionChoice::kGsmLimit) : current;
    try {
        return m_connections.lengthLimit(modemEntry).value_or(unchanged);
    } catch (const DbError &) {
        return current; // the limit only guides typing; the next choice tries again
    }
}

std::optional<QString> MessageComposer::templateText(const QString &nodeText)
{
    if (nodeText == kTemplatesRoot)
        return std::nullopt;
    const QString title = trimSpaces(nodeText);
    try {
        if (std::optional<QString> text = m_templates.textOf(title))
            return text;
    } catch (const DbError &e) {
        showDatabaseError(QStringLiteral("The template could not be read"), e.message());
        return std::nullopt;
    }
    m_prompter.exclamation(QStringLiteral("Error"),
                           QStringLiteral("The template \"%1\" is no longer stored. Open the screen again to see "
                                          "the templates there are now.")
                               .arg(title));
    return std::nullopt;
}

std::optional<QString> MessageComposer::resolveConnection(const QString &modemEntry)
{
    std::optional<QString> route;
    try {
        route = m_connections.resolve(modemEntry);
    } catch (const DbError &e) {
        showDatabaseError(QStringLiteral("The connection could not be looked up"), e.message());
        return std::nullopt;
    }
    if (!route)
        m_prompter.critical(QStringLiteral("Error"),
                            QStringLiteral("No modem port is set up as \"%1\" any more. Choose another connection, "
                                           "or open the screen again for the current list.")
                                .arg(trimSpaces(modemEntry)));
    return route;
}

void MessageComposer::showDatabaseError(const QString &what, const QString &reason)
{
    m_prompter.critical(QStringLiteral("Error"), QStringLiteral("%1:\n%2").arg(what, reason));
}

} // namespace tavsms
