#pragma once

// One open serial port: the operations the connection code performs on it.
//
// Every operation returns true on success, or false with the reason in the calling thread's
// last error (CommError.h). A wait, a read and writes from up to three threads may run on one
// port at once. Destroying the object closes the port; no call may be running then.

#include <cstdint>
#include <string>
#include <vector>

#include "CommTypes.h"
#include "Overlapped.h"

namespace drel::platform {

class SerialPort {
  public:
    virtual ~SerialPort() = default;

    // Sets the events WaitCommEvent reports (EV_* bits). A pending WaitCommEvent on another
    // thread returns at once, with no events, whatever the new mask is; when no wait is pending,
    // the next one does (once). So a thread that changes the mask to end another's wait cannot
    // miss it by calling just before that wait begins.
    virtual bool SetCommMask(uint32_t mask) = 0;

    // Records the requested queue sizes. Linux keeps its own buffers, so nothing changes.
    virtual bool SetupComm(uint32_t inQueue, uint32_t outQueue) = 0;

    // PURGE_* bits: RXCLEAR and TXCLEAR discard queued input and output; TXABORT also ends a
    // pending write wait with ERROR_OPERATION_ABORTED.
    virtual bool PurgeComm(uint32_t flags) = 0;

    // Records the time-outs. Reads never wait (they are capped by the queued count) and a zero
    // write total means a write waits for as long as the line withholds clearance.
    virtual bool SetCommTimeouts(const CommTimeouts& timeouts) = 0;

    // Reads the line state into `dcb`. Fields Linux has no place for come back as the last
    // SetCommState left them.
    virtual bool GetCommState(Dcb& dcb) = 0;

    // Programs the line from `dcb`. Fails, leaving the line as it was, for a state the device
    // cannot take: a baud rate of 0, a byte size other than 5 to 8, 1.5 stop bits, a parity
    // code above SPACEPARITY, XON/XOFF flow control with XonChar equal to XoffChar.
    virtual bool SetCommState(const Dcb& dcb) = 0;

    // SETDTR, CLRDTR, SETRTS, CLRRTS. A port without modem lines (a pseudo-terminal) fails.
    virtual bool EscapeCommFunction(uint32_t function) = 0;

    // Puts the line into the break state once the bytes already taken have gone out: while any
    // are still queued it fails with ERROR_IO_PENDING and starts nothing, so that the caller can
    // wait in a way it can end. ClearCommBreak ends the break.
    virtual bool SetCommBreak() = 0;
    virtual bool ClearCommBreak() = 0;

    // Stores the modem inputs that are on (MS_*_ON bits). A port whose driver cannot report
    // them (a pseudo-terminal) fails.
    virtual bool GetCommModemStatus(uint32_t& status) = 0;

    // Blocks until an enabled event occurs, the mask changes, or the device goes away. Stores
    // the events that occurred (0 after a mask change). Fails once the device has hung up.
    virtual bool WaitCommEvent(uint32_t& events) = 0;

    // Returns the line errors (CE_* bits) seen since the last call and clears them; fills
    // `stat`, when given, with the count of bytes waiting to be read.
    virtual bool ClearCommError(uint32_t& errors, CommStat* stat) = 0;

    // Reads up to `count` bytes without waiting; `read` is how many came. Fails with the
    // system's reason, or with EIO when the device has hung up.
    virtual bool ReadFile(uint8_t* buffer, uint32_t count, uint32_t& read,
                          Overlapped& overlapped) = 0;

    // Starts writing `count` bytes. True when the port has taken all of them at once;
    // otherwise false with ERROR_IO_PENDING, and GetOverlappedResult completes the write
    // (the buffer must stay valid until then); false with any other error when it failed.
    virtual bool WriteFile(const uint8_t* bytes, uint32_t count, Overlapped& overlapped) = 0;

    // Completes the operation started with `overlapped`. With `wait` it returns when the port
    // has taken every byte, or the write failed or was aborted; without it, an unfinished
    // operation fails with ERROR_IO_INCOMPLETE. `transferred` is the count taken so far.
    virtual bool GetOverlappedResult(Overlapped& overlapped, uint32_t& transferred, bool wait) = 0;

    // What the port has to tell the user since the last call, each a line of its own (a setting
    // a network server did not take). A local port has nothing. The receive loop's thread.
    virtual std::vector<std::string> TakeNotices() { return {}; }
};

}  // namespace drel::platform
