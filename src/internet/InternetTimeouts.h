#pragma once

#include <chrono>

namespace tavsms {

// Every wait of the Internet channels in one place; tests shrink them.
struct InternetTimeouts
{
    // One request to the gateway or the update host, from start to last byte.
    std::chrono::milliseconds request{30000};
    // A listener client has this long to send its whole request.
    std::chrono::milliseconds requestArrival{10000};
    // A listener connection that has waited this long without a whole
    // request may be pushed out for a newcomer from its address; a younger
    // one belongs to a prompt client whose request is on its way.
    std::chrono::milliseconds promptRequest{1000};
    // The listener logs one refused connection per this long, and then how
    // many more it refused meanwhile.
    std::chrono::milliseconds refusalReport{60000};
    // Out of descriptors, the listener stops taking connections this long.
    std::chrono::milliseconds acceptRetry{100};
    // Gateway unreachable: the sender pauses this long, doubling on every
    // further failure up to the longest pause.
    std::chrono::milliseconds firstPause{1000};
    std::chrono::milliseconds longestPause{60000};
    // A message the gateway answered with a server error (the gateway
    // working for the others) is not offered to it again for this long.
    std::chrono::milliseconds rowRetry{60000};
};

} // namespace tavsms
