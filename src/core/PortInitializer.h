#pragma once

#include <QCoroTask>

namespace tavsms {

// Brings the active ports into service; runs at start-up, from
// "Re-Initialize Modems" and after the settings change. The modem channel
// provides it. A failure is thrown as StartupError.
class PortInitializer
{
public:
    virtual ~PortInitializer() = default;
    virtual QCoro::Task<void> initialize() = 0;
};

} // namespace tavsms
