#include "SettingsReset.h"

#include "AppState.h"
#include "Database.h"
#include "GatewayAccountRecord.h"
#include "PortConfig.h"
#include "Prompter.h"

namespace tavsms {

QCoro::Task<bool> resetToDefault(Database &db, Prompter &prompter, AppState &state,
                                 std::function<QCoro::Task<void>()> reinitialize)
{
    const QString title = QStringLiteral("Reset Settings?");
    if (!co_await prompter.question(title, QStringLiteral("Are you sure to reset all settings?"),
                                    Prompter::Icon::Exclamation, Prompter::Default::Cancel))
        co_return false;
    // The menu's Start/Stop items stay as they are.
    state.setSendingRunning(false);
    try {
        PortConfig::resetAll(db);
        GatewayAccountRecord::reset(db);
    } catch (const DbError &e) {
        prompter.critical(QStringLiteral("Error"), e.message());
        co_return false;
    }
    prompter.information(title, QStringLiteral("Settings has been reset."));
    co_await reinitialize();
    co_return true;
}

} // namespace tavsms
