#pragma once

#include <QCoroTask>

#include <functional>

namespace tavsms {

class AppState;
class Database;
class Prompter;

// "Reset to Default": after the operator agrees, sending stops (until it is
// started again from the menu or the next program start), every port is
// cleared and switched off, the gateway account goes back to its blank
// values, and the ports are initialised again. True when reset.
QCoro::Task<bool> resetToDefault(Database &db, Prompter &prompter, AppState &state,
                                 std::function<QCoro::Task<void>()> reinitialize);

} // namespace tavsms
