#pragma once

// Pure translations between the device control block and termios, and from the kernel's
// line-error counters to CE_ flags. No system calls: the port (LinuxSerialPort) reads and
// writes the line, these functions only say what the values mean, so every case tests without
// a device.
//
// Where Linux cannot do what the block asks, the block's wish is kept (GetCommState returns it)
// but the line does what Linux does:
//  - fOutxCtsFlow becomes CRTSCTS, which is both directions: the driver also drops RTS when
//    its input buffer fills. The block's "RTS held on while only output waits for CTS"
//    (RTS_CONTROL_ENABLE with CTS flow) is therefore not exact; RTS_CONTROL_HANDSHAKE is.
//  - RTS_CONTROL_TOGGLE (RTS up only while sending) has no termios flag; RTS is held on.
//  - fOutxDsrFlow, fDsrSensitivity and DTR_CONTROL_HANDSHAKE have no equivalent: Linux has no
//    DSR flow control and never discards input by DSR; DTR is held on.
//  - XonLim and XoffLim have no equivalent: the line discipline sends XOFF and XON at its own
//    fill levels of its input buffer.
//  - fTXContinueOnXoff has no equivalent: Linux always keeps sending after it has sent XOFF.
//  - fErrorChar/ErrorChar and fNull have no equivalent: with parity checking (INPCK) a byte
//    received with a parity or framing error is read as a 0 byte, and 0 bytes are never
//    discarded. fAbortOnError has no equivalent: a line error never stops reads or writes.
//  - EofChar and EvtChar have no meaning in raw mode (VEOF is a canonical-mode character).
//  - fBinary: the line is always put in raw mode, as binary mode is the only one supported.
//  - 1.5 stop bits cannot be asked for (the UART picks them for 5-bit characters with CSTOPB).

#include <termios.h>

#include <cstdint>

#include "CommError.h"
#include "CommTypes.h"
#include "LinuxKernelTermios.h"

namespace drel::platform {

// Rewrites `tio`, the line's current termios, into the state `dcb` asks for: raw mode with the
// receiver on and the modem-status lines ignored (CLOCAL), the rate, character size, parity,
// stop bits, parity checking and flow control. Returns ERROR_SUCCESS, or
// ERROR_INVALID_PARAMETER with `tio` untouched for a state the line cannot take: a rate of 0
// (on Linux speed 0 hangs the line up), a byte size other than 5 to 8, a parity code above
// SPACEPARITY, 1.5 stop bits or any code other than ONESTOPBIT and TWOSTOPBITS, or XON/XOFF flow
// control with the same character for XON and XOFF. `arbitraryRate` is set to 0 when the rate
// has a standard speed code (now in `tio`), else to the rate, which only ToKernelTermios can
// carry (the speed in `tio` is left as it was). Any thread.
uint32_t DcbToTermios(const Dcb& dcb, termios& tio, uint32_t& arbitraryRate);

// The settings of `tio` in the kernel's words, to apply with SetKernelTermios: the speed codes of
// `tio`, or BOTHER with `arbitraryRate` when that is not 0. Any thread.
KernelTermios ToKernelTermios(const termios& tio, uint32_t arbitraryRate);

// True when `tio` carries an arbitrary rate (the kernel's BOTHER speed code), which only the
// arbitrary-rate interface can read. Any thread.
bool UsesArbitraryRate(const termios& tio);

// The block `tio` stands for. The fields termios holds (BaudRate, ByteSize, Parity, StopBits,
// XonChar, XoffChar and the flags fBinary, fParity, fOutxCtsFlow, fOutX, fInX) are read from
// `tio`, the rate from `arbitraryRate` when UsesArbitraryRate(tio); every other field and flag
// comes from `shadow`, the block last set. Any thread.
Dcb TermiosToDcb(const termios& tio, uint32_t arbitraryRate, const Dcb& shadow);

// The kernel's running counts of line errors on a port (TIOCGICOUNT).
struct LineErrorCounts {
    int frame = 0;
    int parity = 0;
    int overrun = 0;        // the UART's receive register was overwritten
    int brk = 0;            // breaks received
    int bufferOverrun = 0;  // the driver's input buffer was full
};

// The CE_ flags of the counts that moved from `before` to `after`: frame -> CE_FRAME,
// parity -> CE_RXPARITY, overrun -> CE_OVERRUN, brk -> CE_BREAK, bufferOverrun -> CE_RXOVER.
// Any thread.
uint32_t LineErrorFlags(const LineErrorCounts& before, const LineErrorCounts& after);

}  // namespace drel::platform
