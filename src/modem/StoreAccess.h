#pragma once

#include <functional>

namespace tavsms {

class Store;

// The store opens during start-up, after the modem channel is built; its
// parts reach it through this when they run.
using StoreAccess = std::function<Store &()>;

} // namespace tavsms
