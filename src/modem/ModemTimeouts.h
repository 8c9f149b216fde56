#pragma once

#include <chrono>

namespace tavsms {

// Every wait on a modem, in one place. A wait ends early on its terminator,
// when the device goes away, or when the abort-waits flag is raised; these
// are the upper bounds. Tests shrink them.
struct ModemTimeouts
{
    using ms = std::chrono::milliseconds;

    ms probeCom1{5000};        // "ATI" on COM1
    ms probeOther{10000};      // "AT" on COM2 … COM5
    ms textMode{10000};        // "AT+CMGF=1"
    ms textModeCom2{30000};    // COM2 has always been given longer
    ms indications{10000};     // "AT+CNMI=0,0,0,0,0"
    ms prompt{10000};          // the "> " after AT+CMGS
    ms result{60000};          // the outcome of a send
    ms listing{10000};         // AT+CMGL listings
    ms deleteMessage{10000};   // AT+CMGD
    ms consoleQuiet{3000};     // phone console: silence that ends a read
    ms pollPeriod{10000};      // incoming poll at most this often per port
    ms deviceCheck{2000};      // a lost device's path is looked for this often
    ms health{10000};          // each health read (AT+CSQ, AT+CREG?, AT+CGSN, AT+CIMI, AT+COPS?)
    ms healthPeriod{30000};    // signal and registration read at most this often per port
    ms missingParts{std::chrono::hours(24)}; // a long message still missing parts is stored as it is

    ms probe(int portIndex) const { return portIndex == 0 ? probeCom1 : probeOther; }
    ms textModeFor(int portIndex) const { return portIndex == 1 ? textModeCom2 : textMode; }
};

} // namespace tavsms
