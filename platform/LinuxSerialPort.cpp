#include "LinuxSerialPort.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "CommError.h"
#include "LinuxKernelTermios.h"
#include "PortCompletion.h"

namespace drel::platform {

namespace {

constexpr short kGone = POLLHUP | POLLERR | POLLNVAL;

// Closes `fd` and reports `err`, which close must not overwrite.
std::unique_ptr<LinuxSerialPort> FailOpen(int fd, int err) {
    close(fd);
    FailWithErrno(err);
    return nullptr;
}

// Ports without modem lines (a pseudo-terminal, some USB adapters) refuse the modem-control
// calls with one of these.
bool HasNoModemLines(int err) {
    return err == ENOTTY || err == EINVAL;
}

// Whether the driver of `fd` counts line errors; one that does not (a pseudo-terminal, many USB
// adapters) need not be asked before every read.
bool CountsLineErrors(int fd) {
    serial_icounter_struct icount{};
    return ioctl(fd, TIOCGICOUNT, &icount) == 0 || (errno != ENOTTY && errno != EINVAL);
}

}  // namespace

std::unique_ptr<LinuxSerialPort> LinuxSerialPort::Open(const std::string& path) {
    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        FailWithErrno(errno);
        return nullptr;
    }
    if (!isatty(fd)) {
        return FailOpen(fd, ENOTTY);
    }
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        return FailOpen(fd, errno == EWOULDBLOCK ? EBUSY : errno);
    }
    if (ioctl(fd, TIOCEXCL) != 0) {
        return FailOpen(fd, errno);
    }
    std::unique_ptr<LinuxSerialPort> port(new LinuxSerialPort(fd));
    if (!port->mask_.IsValid() || !port->writeAbort_.IsValid()) {
        FailWithErrno(errno);
        return nullptr;
    }
    return port;
}

LinuxSerialPort::LinuxSerialPort(int fd)
    : fd_(fd), hasErrorCounters_(CountsLineErrors(fd)), shadow_(InitialPortState()) {
    // Line errors count from the open on.
    ReadErrorCounts(lastErrorCounts_);
}

LinuxSerialPort::~LinuxSerialPort() {
    // Exclusive mode belongs to the terminal, not to this descriptor: it would outlive the
    // close while any other descriptor keeps the terminal open, and lock out the next open.
    ioctl(fd_, TIOCNXCL);
    close(fd_);
}

bool LinuxSerialPort::SetCommMask(uint32_t mask) {
    mask_.Set(mask);
    return true;
}

bool LinuxSerialPort::SetupComm(uint32_t inQueue, uint32_t outQueue) {
    std::lock_guard lock(stateMutex_);
    inQueueSize_ = inQueue;
    outQueueSize_ = outQueue;
    return true;
}

bool LinuxSerialPort::PurgeComm(uint32_t flags) {
    if ((flags & PURGE_TXABORT) != 0) {
        writeAbort_.Raise();
    }
    // PURGE_RXABORT has nothing to end: reads never wait.
    const bool input = (flags & PURGE_RXCLEAR) != 0;
    const bool output = (flags & PURGE_TXCLEAR) != 0;
    if (!input && !output) {
        return true;
    }
    const int queue = input && output ? TCIOFLUSH : (input ? TCIFLUSH : TCOFLUSH);
    return tcflush(fd_, queue) == 0 || FailWithErrno(errno);
}

bool LinuxSerialPort::SetCommTimeouts(const CommTimeouts& timeouts) {
    std::lock_guard lock(stateMutex_);
    timeouts_ = timeouts;
    return true;
}

bool LinuxSerialPort::GetCommState(Dcb& dcb) {
    termios tio{};
    if (tcgetattr(fd_, &tio) != 0) {
        return FailWithErrno(errno);
    }
    uint32_t arbitraryRate = 0;
    if (UsesArbitraryRate(tio) && !GetLineRate(fd_, arbitraryRate)) {
        return FailWithErrno(errno);
    }
    std::lock_guard lock(stateMutex_);
    dcb = TermiosToDcb(tio, arbitraryRate, shadow_);
    return true;
}

bool LinuxSerialPort::SetCommState(const Dcb& dcb) {
    std::lock_guard lock(stateMutex_);
    termios tio{};
    if (tcgetattr(fd_, &tio) != 0) {
        return FailWithErrno(errno);
    }
    uint32_t arbitraryRate = 0;
    if (const uint32_t error = DcbToTermios(dcb, tio, arbitraryRate); error != ERROR_SUCCESS) {
        SetLastError(error);
        return false;
    }
    // One call sets everything, an arbitrary rate included, so a refusal leaves the line as it
    // was. The kernel's drivers adjust what their hardware cannot do instead of refusing it (a
    // pseudo-terminal forces 8 data bits and no parity), so only a failing call is a refusal.
    if (!SetKernelTermios(fd_, ToKernelTermios(tio, arbitraryRate))) {
        return FailWithErrno(errno);
    }
    if (const int err = SetModemLines(dcb); err != 0) {
        return FailWithErrno(err);
    }
    shadow_ = dcb;
    shadow_.DCBlength = sizeof(Dcb);
    return true;
}

// DTR and RTS held on or off as the block asks. Handshake and toggle modes hold them on: the
// kernel has no DTR handshake, and with CRTSCTS it drives RTS itself. A port without modem
// lines is left as it is, so that the program works on a pseudo-terminal as on a port. Returns
// 0, or the errno of another failure.
int LinuxSerialPort::SetModemLines(const Dcb& dcb) {
    const bool dtrOn = DtrControl(dcb) != DTR_CONTROL_DISABLE;
    const bool rtsOn = RtsControl(dcb) != RTS_CONTROL_DISABLE;
    const int raise = (dtrOn ? TIOCM_DTR : 0) | (rtsOn ? TIOCM_RTS : 0);
    const int lower = (dtrOn ? 0 : TIOCM_DTR) | (rtsOn ? 0 : TIOCM_RTS);
    for (const auto& [request, lines] : {std::pair{TIOCMBIS, raise}, std::pair{TIOCMBIC, lower}}) {
        if (lines != 0 && ioctl(fd_, request, &lines) != 0 && !HasNoModemLines(errno)) {
            return errno;
        }
    }
    return 0;
}

bool LinuxSerialPort::EscapeCommFunction(uint32_t function) {
    int line = 0;
    unsigned long request = 0;
    switch (function) {
        case SETDTR:
        case CLRDTR:
            line = TIOCM_DTR;
            request = function == SETDTR ? TIOCMBIS : TIOCMBIC;
            break;
        case SETRTS:
        case CLRRTS:
            line = TIOCM_RTS;
            request = function == SETRTS ? TIOCMBIS : TIOCMBIC;
            break;
        default:
            SetLastError(ERROR_INVALID_PARAMETER);
            return false;
    }
    return ioctl(fd_, request, &line) == 0 || FailWithErrno(errno);
}

bool LinuxSerialPort::SetCommBreak() {
    // The kernel starts a break only once the output has drained, and waits for that in a way
    // no other thread can end; so the break is started only when nothing is left to drain.
    int queued = 0;
    if (ioctl(fd_, TIOCOUTQ, &queued) != 0) {
        return FailWithErrno(errno);
    }
    if (queued > 0) {
        SetLastError(ERROR_IO_PENDING);
        return false;
    }
    return ioctl(fd_, TIOCSBRK) == 0 || FailWithErrno(errno);
}

bool LinuxSerialPort::ClearCommBreak() {
    return ioctl(fd_, TIOCCBRK) == 0 || FailWithErrno(errno);
}

bool LinuxSerialPort::GetCommModemStatus(uint32_t& status) {
    status = 0;
    int lines = 0;
    if (ioctl(fd_, TIOCMGET, &lines) != 0) {
        return FailWithErrno(errno);
    }
    const std::pair<int, uint32_t> inputs[] = {{TIOCM_CTS, MS_CTS_ON},
                                               {TIOCM_DSR, MS_DSR_ON},
                                               {TIOCM_RNG, MS_RING_ON},
                                               {TIOCM_CAR, MS_RLSD_ON}};
    for (const auto& [line, bit] : inputs) {
        if ((lines & line) != 0) {
            status |= bit;
        }
    }
    return true;
}

bool LinuxSerialPort::WaitCommEvent(uint32_t& events) {
    events = 0;
    uint64_t generation = 0;
    const bool wantInput = mask_.WantsInput();
    if (mask_.Begin(generation)) {
        return true;
    }
    for (;;) {
        pollfd fds[] = {{fd_, static_cast<short>(wantInput ? POLLIN : 0), 0},
                        {mask_.fd(), POLLIN, 0}};
        if (poll(fds, 2, -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            return FailWithErrno(errno);
        }
        if ((fds[1].revents & POLLIN) != 0 && mask_.Changed(generation)) {
            return true;
        }
        if ((fds[0].revents & kGone) != 0) {
            // A hung-up device polls readable for ever; only bytes still queued count as
            // input. Once they are read the wait fails, and keeps failing, with EIO.
            uint32_t queued = 0;
            if (wantInput && QueuedInput(queued) && queued > 0) {
                events = EV_RXCHAR;
                return true;
            }
            return FailWithErrno(EIO);
        }
        if ((fds[0].revents & POLLIN) != 0) {
            events = EV_RXCHAR;
            return true;
        }
    }
}

bool LinuxSerialPort::ReadErrorCounts(LineErrorCounts& counts) const {
    serial_icounter_struct icount{};
    if (ioctl(fd_, TIOCGICOUNT, &icount) != 0) {
        return false;
    }
    counts = {icount.frame, icount.parity, icount.overrun, icount.brk, icount.buf_overrun};
    return true;
}

bool LinuxSerialPort::QueuedInput(uint32_t& count) const {
    int queued = 0;
    if (ioctl(fd_, FIONREAD, &queued) != 0) {
        return false;
    }
    count = static_cast<uint32_t>(queued);
    return true;
}

bool LinuxSerialPort::ClearCommError(uint32_t& errors, CommStat* stat) {
    errors = 0;
    if (stat != nullptr && !QueuedInput(stat->cbInQue)) {
        return FailWithErrno(errno);
    }
    // Drivers without counters (a pseudo-terminal) report no line errors; they are asked once.
    LineErrorCounts counts;
    if (hasErrorCounters_ && ReadErrorCounts(counts)) {
        std::lock_guard lock(stateMutex_);
        errors = LineErrorFlags(lastErrorCounts_, counts);
        lastErrorCounts_ = counts;
    }
    return true;
}

bool LinuxSerialPort::ReadFile(uint8_t* buffer, uint32_t count, uint32_t& read,
                               Overlapped& overlapped) {
    read = 0;
    if (count == 0) {
        SignalDone(overlapped);
        return true;
    }
    ssize_t n = 0;
    do {
        n = ::read(fd_, buffer, count);
    } while (n < 0 && errno == EINTR);
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
        SignalDone(overlapped);
        return true;
    }
    if (n <= 0) {
        // End of file on a terminal is a hang-up, as is EIO.
        return FailWithErrno(n == 0 ? EIO : errno);
    }
    read = static_cast<uint32_t>(n);
    SignalDone(overlapped);
    return true;
}

bool LinuxSerialPort::WriteFile(const uint8_t* bytes, uint32_t count, Overlapped& overlapped) {
    writeAbort_.Arm();
    overlapped.pendingBytes = bytes;
    overlapped.pendingCount = count;
    overlapped.pendingDone = 0;
    if (const int err = PushPendingWrite(overlapped); err != 0) {
        overlapped.pendingBytes = nullptr;
        SignalDone(overlapped);
        return FailWithErrno(err);
    }
    if (overlapped.pendingDone == count) {
        overlapped.pendingBytes = nullptr;
        SignalDone(overlapped);
        return true;
    }
    if (overlapped.hEvent != nullptr) {
        overlapped.hEvent->Reset();
    }
    SetLastError(ERROR_IO_PENDING);
    return false;
}

// Writes as much of the pending bytes as the kernel takes now. Returns 0, or the errno of a
// failed write (EIO once the device has hung up).
int LinuxSerialPort::PushPendingWrite(Overlapped& overlapped) {
    while (overlapped.pendingDone < overlapped.pendingCount) {
        const ssize_t n = write(fd_, overlapped.pendingBytes + overlapped.pendingDone,
                                overlapped.pendingCount - overlapped.pendingDone);
        if (n > 0) {
            overlapped.pendingDone += static_cast<size_t>(n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else if (n == 0 || errno == EAGAIN || errno == EWOULDBLOCK) {
            return 0;
        } else {
            return errno;
        }
    }
    return 0;
}

// Waits until the kernel takes more output or a PurgeComm(PURGE_TXABORT) comes. Returns 0, or
// EIO when the device has gone away.
int LinuxSerialPort::WaitUntilWritable() {
    pollfd fds[] = {{fd_, POLLOUT, 0}, {writeAbort_.fd(), POLLIN, 0}};
    if (poll(fds, 2, -1) < 0) {
        return errno == EINTR ? 0 : errno;
    }
    if ((fds[1].revents & POLLIN) != 0) {
        writeAbort_.Drain();
    }
    return (fds[0].revents & kGone) != 0 ? EIO : 0;
}

bool LinuxSerialPort::GetOverlappedResult(Overlapped& overlapped, uint32_t& transferred,
                                          bool wait) {
    if (overlapped.pendingBytes == nullptr) {
        // Nothing pending: the last operation on this block has completed.
        transferred = static_cast<uint32_t>(overlapped.pendingDone);
        return true;
    }
    for (;;) {
        if (writeAbort_.Aborted()) {
            return FinishWrite(overlapped, transferred, ERROR_OPERATION_ABORTED);
        }
        if (const int err = PushPendingWrite(overlapped); err != 0) {
            return FinishWrite(overlapped, transferred, static_cast<uint32_t>(err));
        }
        if (overlapped.pendingDone == overlapped.pendingCount) {
            return FinishWrite(overlapped, transferred, ERROR_SUCCESS);
        }
        if (!wait) {
            transferred = static_cast<uint32_t>(overlapped.pendingDone);
            SetLastError(ERROR_IO_INCOMPLETE);
            return false;
        }
        if (const int err = WaitUntilWritable(); err != 0) {
            return FinishWrite(overlapped, transferred, static_cast<uint32_t>(err));
        }
    }
}

}  // namespace drel::platform
