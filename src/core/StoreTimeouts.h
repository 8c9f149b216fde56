#pragma once

#include <chrono>

namespace tavsms {

// The waits of a shared store, in one place. Tests shrink them.
struct StoreTimeouts
{
    using ms = std::chrono::milliseconds;

    // A "Sending" row whose claim is older than this is put back by any
    // workstation: its sender has died. Longer than the longest send: a
    // modem's prompt and result waits (70 s) for each of the ten parts of
    // the longest message, or a gateway request (30 s), with room to spare.
    ms lease{std::chrono::minutes(15)};
    // How often each workstation looks for claims whose lease ran out.
    ms leaseCheck{std::chrono::seconds(30)};
    // The server cannot be reached: try again after this, doubling up to the longest.
    ms firstReconnect{std::chrono::seconds(1)};
    ms longestReconnect{std::chrono::seconds(30)};
    // One attempt to connect again, from the first packet to a ready session.
    ms attempt{std::chrono::seconds(10)};
};

} // namespace tavsms
