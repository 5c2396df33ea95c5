#pragma once

// The line settings a port has made, read back on the device's side of a pseudo-terminal.

#include <gtest/gtest.h>
#include <termios.h>

#include <ostream>

#include "support/PseudoTerminal.h"

namespace drel::test {

// The line as the port has set it up, seen from the device's side of the pseudo-terminal. The
// kernel keeps a pseudo-terminal at eight data bits without parity whatever it is asked for
// (though it keeps the odd-parity bit), so the data bits and parity show in the title only.
struct LineOnDevice {
    speed_t speed;
    bool oddParity;
    bool twoStopBits;
    bool rtsCts;
    bool xonXoff;  // both directions

    bool operator==(const LineOnDevice&) const = default;
};

inline void PrintTo(const LineOnDevice& line, std::ostream* os) {
    *os << "speed code " << line.speed << (line.oddParity ? ", odd parity" : "")
        << (line.twoStopBits ? ", two stop bits" : "") << (line.rtsCts ? ", RTS/CTS" : "")
        << (line.xonXoff ? ", Xon/Xoff" : "");
}

inline LineOnDevice LineOf(PseudoTerminal& pty) {
    termios tio{};
    EXPECT_EQ(tcgetattr(pty.SlaveFd(), &tio), 0);
    return {cfgetospeed(&tio), (tio.c_cflag & PARODD) != 0, (tio.c_cflag & CSTOPB) != 0,
            (tio.c_cflag & CRTSCTS) != 0, (tio.c_iflag & (IXON | IXOFF)) == (IXON | IXOFF)};
}

}  // namespace drel::test
