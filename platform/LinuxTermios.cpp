#include "LinuxTermios.h"

#include <algorithm>

namespace drel::platform {

namespace {

// glibc's <termios.h> has no name for the kernel's BOTHER ("rate in c_ospeed"): it is the
// CBAUDEX bit with no low speed bits. The input speed code (CIBAUD) sits 16 bits higher.
constexpr tcflag_t kArbitrarySpeedCode = CBAUDEX;
constexpr int kInputSpeedShift = 16;
static_assert(CIBAUD == CBAUD << kInputSpeedShift);
static_assert(VTIME == 5 && VMIN == 6 && VSTART == 8 && VSTOP == 9,
              "the indices LinuxKernelTermios.cpp checks under the kernel's names");

struct StandardRate {
    uint32_t rate;
    speed_t code;
};

constexpr StandardRate kStandardRates[] = {
    {50, B50},           {75, B75},           {110, B110},         {134, B134},
    {150, B150},         {200, B200},         {300, B300},         {600, B600},
    {1200, B1200},       {1800, B1800},       {2400, B2400},       {4800, B4800},
    {9600, B9600},       {19200, B19200},     {38400, B38400},     {57600, B57600},
    {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
    {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000},
    {1500000, B1500000}, {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000},
    {3500000, B3500000}, {4000000, B4000000},
};

// The speed code of a standard rate, or B0 when the rate has none.
speed_t SpeedCodeOf(uint32_t rate) {
    for (const StandardRate& r : kStandardRates) {
        if (r.rate == rate) {
            return r.code;
        }
    }
    return B0;
}

// The rate of a standard speed code; 0 for B0 and for codes not in the table.
uint32_t RateOf(speed_t code) {
    for (const StandardRate& r : kStandardRates) {
        if (r.code == code) {
            return r.rate;
        }
    }
    return 0;
}

bool IsValid(const Dcb& dcb) {
    const bool xonXoff = (dcb.flags & (DCB_fOutX | DCB_fInX)) != 0;
    return dcb.BaudRate != 0 && dcb.ByteSize >= 5 && dcb.ByteSize <= 8 &&
           dcb.Parity <= SPACEPARITY &&
           (dcb.StopBits == ONESTOPBIT || dcb.StopBits == TWOSTOPBITS) &&
           !(xonXoff && dcb.XonChar == dcb.XoffChar);
}

tcflag_t CharacterSizeFlag(uint8_t byteSize) {
    constexpr tcflag_t kSizes[] = {CS5, CS6, CS7, CS8};
    return kSizes[byteSize - 5];
}

tcflag_t ParityFlags(uint8_t parity) {
    switch (parity) {
        case ODDPARITY:
            return PARENB | PARODD;
        case EVENPARITY:
            return PARENB;
        case MARKPARITY:  // stick parity: PARODD picks a parity bit that is always 1
            return PARENB | CMSPAR | PARODD;
        case SPACEPARITY:
            return PARENB | CMSPAR;
        default:
            return 0;
    }
}

uint8_t ParityCode(tcflag_t cflag) {
    if ((cflag & PARENB) == 0) {
        return NOPARITY;
    }
    const bool odd = (cflag & PARODD) != 0;
    if ((cflag & CMSPAR) != 0) {
        return odd ? MARKPARITY : SPACEPARITY;
    }
    return odd ? ODDPARITY : EVENPARITY;
}

uint8_t ByteSizeOf(tcflag_t cflag) {
    switch (cflag & CSIZE) {
        case CS5:
            return 5;
        case CS6:
            return 6;
        case CS7:
            return 7;
        default:
            return 8;
    }
}

void SetFlag(tcflag_t& word, tcflag_t flag, bool on) {
    word = on ? (word | flag) : (word & ~flag);
}

// The flag bits that termios holds; the others live in the port's shadow block.
constexpr uint32_t kTermiosFlagBits =
    DCB_fBinary | DCB_fParity | DCB_fOutxCtsFlow | DCB_fOutX | DCB_fInX;

}  // namespace

uint32_t DcbToTermios(const Dcb& dcb, termios& tio, uint32_t& arbitraryRate) {
    if (!IsValid(dcb)) {
        return ERROR_INVALID_PARAMETER;
    }
    // Raw mode: no echo, no signals, no line editing, no translation of CR and LF on either
    // side, 8 bits passed unstripped, a read returns as soon as one byte is there.
    cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;

    tio.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
    tio.c_cflag |= CharacterSizeFlag(dcb.ByteSize) | ParityFlags(dcb.Parity);
    SetFlag(tio.c_cflag, CSTOPB, dcb.StopBits == TWOSTOPBITS);
    SetFlag(tio.c_cflag, CRTSCTS, (dcb.flags & DCB_fOutxCtsFlow) != 0);

    // Parity checking. With IGNPAR and PARMRK clear a damaged byte is read as a 0 byte.
    tio.c_iflag &= ~(IGNPAR | PARMRK);
    SetFlag(tio.c_iflag, INPCK, (dcb.flags & DCB_fParity) != 0);

    // XON/XOFF: IXON stops output on XOFF, IXOFF sends XOFF/XON as the input buffer fills and
    // drains. IXANY would let any byte restart output, which the block cannot ask for.
    tio.c_iflag &= ~IXANY;
    SetFlag(tio.c_iflag, IXON, (dcb.flags & DCB_fOutX) != 0);
    SetFlag(tio.c_iflag, IXOFF, (dcb.flags & DCB_fInX) != 0);
    tio.c_cc[VSTART] = static_cast<cc_t>(dcb.XonChar);
    tio.c_cc[VSTOP] = static_cast<cc_t>(dcb.XoffChar);

    const speed_t code = SpeedCodeOf(dcb.BaudRate);
    arbitraryRate = code == B0 ? dcb.BaudRate : 0;
    if (code != B0) {
        // Both directions at one rate: clear the separate input speed (CIBAUD) a previous
        // arbitrary rate may have left, so the input follows the output speed.
        tio.c_cflag &= ~CIBAUD;
        cfsetispeed(&tio, code);
        cfsetospeed(&tio, code);
    }
    return ERROR_SUCCESS;
}

KernelTermios ToKernelTermios(const termios& tio, uint32_t arbitraryRate) {
    KernelTermios k;
    k.iflag = tio.c_iflag;
    k.oflag = tio.c_oflag;
    k.cflag = tio.c_cflag;
    k.lflag = tio.c_lflag;
    k.line = tio.c_line;
    std::copy_n(tio.c_cc, kKernelControlChars, k.cc);
    if (arbitraryRate != 0) {
        k.cflag &= ~(CBAUD | CIBAUD);
        k.cflag |= kArbitrarySpeedCode | (kArbitrarySpeedCode << kInputSpeedShift);
        k.ispeed = arbitraryRate;
        k.ospeed = arbitraryRate;
    } else {
        // The kernel works the speeds out from the codes; these only say the same.
        k.ispeed = RateOf(cfgetispeed(&tio));
        k.ospeed = RateOf(cfgetospeed(&tio));
    }
    return k;
}

bool UsesArbitraryRate(const termios& tio) {
    return (tio.c_cflag & CBAUD) == kArbitrarySpeedCode;
}

Dcb TermiosToDcb(const termios& tio, uint32_t arbitraryRate, const Dcb& shadow) {
    Dcb dcb = shadow;
    dcb.DCBlength = sizeof(Dcb);
    dcb.BaudRate = UsesArbitraryRate(tio) ? arbitraryRate : RateOf(cfgetospeed(&tio));
    dcb.ByteSize = ByteSizeOf(tio.c_cflag);
    dcb.Parity = ParityCode(tio.c_cflag);
    dcb.StopBits = (tio.c_cflag & CSTOPB) != 0 ? TWOSTOPBITS : ONESTOPBIT;
    dcb.XonChar = static_cast<char>(tio.c_cc[VSTART]);
    dcb.XoffChar = static_cast<char>(tio.c_cc[VSTOP]);

    dcb.flags &= ~kTermiosFlagBits;
    const auto flagIf = [](bool on, uint32_t bit) { return on ? bit : 0u; };
    dcb.flags |= flagIf((tio.c_lflag & ICANON) == 0, DCB_fBinary) |
                 flagIf((tio.c_iflag & INPCK) != 0, DCB_fParity) |
                 flagIf((tio.c_cflag & CRTSCTS) != 0, DCB_fOutxCtsFlow) |
                 flagIf((tio.c_iflag & IXON) != 0, DCB_fOutX) |
                 flagIf((tio.c_iflag & IXOFF) != 0, DCB_fInX);
    return dcb;
}

uint32_t LineErrorFlags(const LineErrorCounts& before, const LineErrorCounts& after) {
    const struct {
        int LineErrorCounts::*count;
        uint32_t flag;
    } kCounters[] = {
        {&LineErrorCounts::frame, CE_FRAME},          {&LineErrorCounts::parity, CE_RXPARITY},
        {&LineErrorCounts::overrun, CE_OVERRUN},      {&LineErrorCounts::brk, CE_BREAK},
        {&LineErrorCounts::bufferOverrun, CE_RXOVER},
    };
    uint32_t flags = 0;
    for (const auto& c : kCounters) {
        if (after.*c.count != before.*c.count) {
            flags |= c.flag;
        }
    }
    return flags;
}

}  // namespace drel::platform
