#pragma once

// Values and records of the serial communications service, in the shape the connection code
// speaks: an event mask, purge and escape codes, line error flags, the device control block,
// time-outs and queue status. How each maps onto termios is written beside the mapping
// (LinuxTermios.cpp).

#include <cstdint>

namespace drel::platform {

// Events that SetCommMask enables and WaitCommEvent reports.
inline constexpr uint32_t EV_RXCHAR = 0x0001;
inline constexpr uint32_t EV_BREAK = 0x0040;

// PurgeComm flags.
inline constexpr uint32_t PURGE_TXABORT = 0x0001;
inline constexpr uint32_t PURGE_RXABORT = 0x0002;
inline constexpr uint32_t PURGE_TXCLEAR = 0x0004;
inline constexpr uint32_t PURGE_RXCLEAR = 0x0008;

// EscapeCommFunction codes.
inline constexpr uint32_t SETRTS = 3;
inline constexpr uint32_t CLRRTS = 4;
inline constexpr uint32_t SETDTR = 5;
inline constexpr uint32_t CLRDTR = 6;

// Modem input bits that GetCommModemStatus reports while the line is on.
inline constexpr uint32_t MS_CTS_ON = 0x0010;
inline constexpr uint32_t MS_DSR_ON = 0x0020;
inline constexpr uint32_t MS_RING_ON = 0x0040;
inline constexpr uint32_t MS_RLSD_ON = 0x0080;  // carrier detect (DCD)

// Line error flags that ClearCommError returns.
inline constexpr uint32_t CE_RXOVER = 0x0001;
inline constexpr uint32_t CE_OVERRUN = 0x0002;
inline constexpr uint32_t CE_RXPARITY = 0x0004;
inline constexpr uint32_t CE_FRAME = 0x0008;
inline constexpr uint32_t CE_BREAK = 0x0010;

// Dcb::Parity and Dcb::StopBits codes.
inline constexpr uint8_t NOPARITY = 0;
inline constexpr uint8_t ODDPARITY = 1;
inline constexpr uint8_t EVENPARITY = 2;
inline constexpr uint8_t MARKPARITY = 3;
inline constexpr uint8_t SPACEPARITY = 4;
inline constexpr uint8_t ONESTOPBIT = 0;
inline constexpr uint8_t ONE5STOPBITS = 1;
inline constexpr uint8_t TWOSTOPBITS = 2;

// Bits of Dcb::flags. fDtrControl and fRtsControl are two-bit fields.
inline constexpr uint32_t DCB_fBinary = 1u << 0;
inline constexpr uint32_t DCB_fParity = 1u << 1;
inline constexpr uint32_t DCB_fOutxCtsFlow = 1u << 2;
inline constexpr uint32_t DCB_fOutxDsrFlow = 1u << 3;
inline constexpr uint32_t DCB_fDtrControlShift = 4;
inline constexpr uint32_t DCB_fDtrControlMask = 3u << DCB_fDtrControlShift;
inline constexpr uint32_t DCB_fDsrSensitivity = 1u << 6;
inline constexpr uint32_t DCB_fTXContinueOnXoff = 1u << 7;
inline constexpr uint32_t DCB_fOutX = 1u << 8;
inline constexpr uint32_t DCB_fInX = 1u << 9;
inline constexpr uint32_t DCB_fErrorChar = 1u << 10;
inline constexpr uint32_t DCB_fNull = 1u << 11;
inline constexpr uint32_t DCB_fRtsControlShift = 12;
inline constexpr uint32_t DCB_fRtsControlMask = 3u << DCB_fRtsControlShift;
inline constexpr uint32_t DCB_fAbortOnError = 1u << 14;

inline constexpr uint32_t DTR_CONTROL_DISABLE = 0;
inline constexpr uint32_t DTR_CONTROL_ENABLE = 1;
inline constexpr uint32_t DTR_CONTROL_HANDSHAKE = 2;
inline constexpr uint32_t RTS_CONTROL_DISABLE = 0;
inline constexpr uint32_t RTS_CONTROL_ENABLE = 1;
inline constexpr uint32_t RTS_CONTROL_HANDSHAKE = 2;
inline constexpr uint32_t RTS_CONTROL_TOGGLE = 3;

// The device control block: the line state a port is read into and programmed from.
// Laid out field for field as the 28-byte record the line-settings code was written against,
// so that a settings record can be handed to the port as it stands.
struct Dcb {
    uint32_t DCBlength = sizeof(Dcb);
    uint32_t BaudRate = 0;
    uint32_t flags = 0;  // DCB_f* bits
    uint16_t wReserved = 0;
    uint16_t XonLim = 0;
    uint16_t XoffLim = 0;
    uint8_t ByteSize = 0;
    uint8_t Parity = 0;
    uint8_t StopBits = 0;
    char XonChar = 0;
    char XoffChar = 0;
    char ErrorChar = 0;
    char EofChar = 0;
    char EvtChar = 0;
    uint16_t wReserved1 = 0;
};
static_assert(sizeof(Dcb) == 28, "the device control block is a 28-byte record");

inline uint32_t DtrControl(const Dcb& dcb) {
    return (dcb.flags & DCB_fDtrControlMask) >> DCB_fDtrControlShift;
}
inline uint32_t RtsControl(const Dcb& dcb) {
    return (dcb.flags & DCB_fRtsControlMask) >> DCB_fRtsControlShift;
}

// Time-outs in milliseconds. MAXDWORD as the read interval with zero totals means
// "return at once with what is queued".
inline constexpr uint32_t MAXDWORD = 0xFFFFFFFFu;
struct CommTimeouts {
    uint32_t ReadIntervalTimeout = 0;
    uint32_t ReadTotalTimeoutMultiplier = 0;
    uint32_t ReadTotalTimeoutConstant = 0;
    uint32_t WriteTotalTimeoutMultiplier = 0;
    uint32_t WriteTotalTimeoutConstant = 0;
};

// Queue status that ClearCommError fills in: what a read needs, and no more, since the receive
// loop asks for it before every read.
struct CommStat {
    uint32_t cbInQue = 0;  // bytes received and not yet read
};

}  // namespace drel::platform
