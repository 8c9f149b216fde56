#pragma once

#include "ConnectionChoice.h"
#include "Groups.h"
#include "Templates.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace tavsms {

class AppState;
class Prompter;
class Store;

// What a sending screen shows when it opens.
struct ComposeState
{
    QStringList modems;         // "Auto" (chosen), "WEBGATEWAY", then operator names
    QStringList groups;         // group names A to Z, or just "Groups Not Available"
    bool hasGroups = false;
    QStringList templateTitles; // in the order they were added
    LengthLimit limit = LengthLimit::ofCharacters(ConnectionChoice::kGsmLimit);
};

// What the single and the group screen share: their lists, the length limit
// of the chosen connection, templates, and turning the chosen entry into a
// routing value.
class MessageComposer
{
public:
    inline static const QString kNoGroups = QStringLiteral("Groups Not Available");
    inline static const QString kTemplatesRoot = QStringLiteral("Templates");

    // Where the cursor goes after an action.
    enum class Field { None, Modem, Group, Number, Message };

    MessageComposer(Store &store, const AppState &state, Prompter &prompter);

    // Reads every list; a list that cannot be read stays short and the
    // trouble is shown once.
    ComposeState load();

    // The limit for the chosen connection; `current` when the entry leaves
    // it as it was (the gateway), except that the gateway never counts parts.
    LengthLimit lengthLimit(const QString &modemEntry, const LengthLimit &current);

    // The text of the template a tree node names; nothing for the root, and
    // nothing (with a word to the operator) for a template deleted meanwhile.
    std::optional<QString> templateText(const QString &nodeText);

protected:
    // The routing value of a modem-list entry; nothing, told, when the
    // operator name no longer belongs to a port.
    std::optional<QString> resolveConnection(const QString &modemEntry);
    void showDatabaseError(const QString &what, const QString &reason);

    Store &m_store;
    Prompter &m_prompter;
    ConnectionChoice m_connections;
    Groups m_groups;
    Templates m_templates;
};

} // namespace tavsms
