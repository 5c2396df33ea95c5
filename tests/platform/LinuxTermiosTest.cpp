#include "platform/LinuxTermios.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace drel::platform;

namespace {

// A terminal as the kernel sets one up: line editing, echo, signals, CR/LF translation.
termios CookedTermios() {
    termios tio{};
    tio.c_iflag = ICRNL | IXON | IXANY | IMAXBEL | ISTRIP | IGNPAR | PARMRK;
    tio.c_oflag = OPOST | ONLCR;
    tio.c_cflag = CS8 | CREAD | HUPCL;
    tio.c_lflag = ICANON | ECHO | ECHOE | ECHOK | ISIG | IEXTEN;
    tio.c_cc[VSTART] = 0x11;
    tio.c_cc[VSTOP] = 0x13;
    cfsetispeed(&tio, B38400);
    cfsetospeed(&tio, B38400);
    return tio;
}

Dcb Block(uint32_t rate, uint8_t byteSize, uint8_t parity, uint8_t stopBits, uint32_t flags = 0) {
    Dcb dcb;
    dcb.BaudRate = rate;
    dcb.ByteSize = byteSize;
    dcb.Parity = parity;
    dcb.StopBits = stopBits;
    dcb.flags = flags;
    dcb.XonChar = 0x11;
    dcb.XoffChar = 0x13;
    return dcb;
}

termios Mapped(const Dcb& dcb, uint32_t* arbitraryRate = nullptr) {
    termios tio = CookedTermios();
    uint32_t rate = 0;
    EXPECT_EQ(DcbToTermios(dcb, tio, rate), ERROR_SUCCESS);
    if (arbitraryRate != nullptr) {
        *arbitraryRate = rate;
    }
    return tio;
}

constexpr tcflag_t kFormatBits = CSIZE | PARENB | PARODD | CMSPAR | CSTOPB;

}  // namespace

TEST(LinuxTermiosTest, CharacterFormatMapsToControlFlags) {
    const struct {
        uint8_t byteSize, parity, stopBits;
        tcflag_t cflag;
    } cases[] = {
        {8, NOPARITY, ONESTOPBIT, CS8},
        {7, EVENPARITY, ONESTOPBIT, CS7 | PARENB},
        {7, ODDPARITY, TWOSTOPBITS, CS7 | PARENB | PARODD | CSTOPB},
        {8, MARKPARITY, ONESTOPBIT, CS8 | PARENB | CMSPAR | PARODD},
        {8, SPACEPARITY, TWOSTOPBITS, CS8 | PARENB | CMSPAR | CSTOPB},
        {6, NOPARITY, ONESTOPBIT, CS6},
        {5, NOPARITY, TWOSTOPBITS, CS5 | CSTOPB},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << int(c.byteSize) << "/" << int(c.parity) << "/" << int(c.stopBits));
        const Dcb dcb = Block(9600, c.byteSize, c.parity, c.stopBits);
        const termios tio = Mapped(dcb);
        EXPECT_EQ(tio.c_cflag & kFormatBits, c.cflag);

        const Dcb back = TermiosToDcb(tio, 0, Dcb{});
        EXPECT_EQ(back.ByteSize, c.byteSize);
        EXPECT_EQ(back.Parity, c.parity);
        EXPECT_EQ(back.StopBits, c.stopBits);
    }
}

TEST(LinuxTermiosTest, FlowControlAndParityCheckMapToTheirFlags) {
    const struct {
        uint32_t flags;
        tcflag_t cflag, iflag;
    } cases[] = {
        {0, 0, 0},
        {DCB_fOutxCtsFlow, CRTSCTS, 0},
        {DCB_fOutX | DCB_fInX, 0, IXON | IXOFF},
        {DCB_fOutX, 0, IXON},
        {DCB_fInX, 0, IXOFF},
        {DCB_fParity, 0, INPCK},
        {DCB_fParity | DCB_fOutxCtsFlow | DCB_fOutX | DCB_fInX, CRTSCTS, INPCK | IXON | IXOFF},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.flags);
        Dcb dcb = Block(9600, 8, NOPARITY, ONESTOPBIT, c.flags);
        dcb.XonChar = 'q';
        dcb.XoffChar = 's';
        const termios tio = Mapped(dcb);
        EXPECT_EQ(tio.c_cflag & CRTSCTS, c.cflag);
        EXPECT_EQ(tio.c_iflag & (IXON | IXOFF | IXANY | INPCK), c.iflag);
        EXPECT_EQ(tio.c_cc[VSTART], 'q');
        EXPECT_EQ(tio.c_cc[VSTOP], 's');

        const Dcb back = TermiosToDcb(tio, 0, Dcb{});
        EXPECT_EQ(back.flags, c.flags | DCB_fBinary);
        EXPECT_EQ(back.XonChar, 'q');
        EXPECT_EQ(back.XoffChar, 's');
    }
}

TEST(LinuxTermiosTest, LineIsRawWithReceiverOnAndModemStatusIgnored) {
    const termios tio = Mapped(Block(9600, 8, NOPARITY, ONESTOPBIT));
    EXPECT_EQ(tio.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
    EXPECT_EQ(tio.c_oflag & OPOST, 0u);
    EXPECT_EQ(tio.c_iflag & (ICRNL | INLCR | IGNCR | ISTRIP | IGNPAR | PARMRK | IXANY), 0u);
    EXPECT_EQ(tio.c_cflag & (CLOCAL | CREAD), CLOCAL | CREAD);
    EXPECT_EQ(tio.c_cc[VMIN], 1);
    EXPECT_EQ(tio.c_cc[VTIME], 0);
    EXPECT_TRUE(TermiosToDcb(tio, 0, Dcb{}).flags & DCB_fBinary);
    EXPECT_FALSE(TermiosToDcb(CookedTermios(), 0, Dcb{}).flags & DCB_fBinary);
}

TEST(LinuxTermiosTest, StandardRatesUseSpeedCodesAndOthersTheArbitraryRate) {
    const struct {
        uint32_t rate;
        speed_t code;  // B0: no standard code, the speed stays as it was
    } cases[] = {
        {300, B300},  {9600, B9600}, {115200, B115200}, {921600, B921600}, {4000000, B4000000},
        {250000, B0}, {31250, B0},   {1, B0},           {4000001, B0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.rate);
        uint32_t arbitraryRate = 0;
        const termios tio = Mapped(Block(c.rate, 8, NOPARITY, ONESTOPBIT), &arbitraryRate);
        if (c.code != B0) {
            EXPECT_EQ(arbitraryRate, 0u);
            EXPECT_EQ(cfgetospeed(&tio), c.code);
            EXPECT_EQ(cfgetispeed(&tio), c.code);
            EXPECT_EQ(TermiosToDcb(tio, 0, Dcb{}).BaudRate, c.rate);
        } else {
            EXPECT_EQ(arbitraryRate, c.rate);
            EXPECT_EQ(cfgetospeed(&tio), B38400);
        }
    }
}

TEST(LinuxTermiosTest, ArbitraryRateIsReadFromTheKernelsRateAndLeftByAStandardOne) {
    termios tio = CookedTermios();
    // As the kernel reports a line set to an arbitrary rate: BOTHER for both directions.
    tio.c_cflag = (tio.c_cflag & ~(CBAUD | CIBAUD)) | CBAUDEX | (CBAUDEX << 16);
    ASSERT_TRUE(UsesArbitraryRate(tio));
    EXPECT_EQ(TermiosToDcb(tio, 250000, Dcb{}).BaudRate, 250000u);

    uint32_t arbitraryRate = 0;
    ASSERT_EQ(DcbToTermios(Block(19200, 8, NOPARITY, ONESTOPBIT), tio, arbitraryRate),
              ERROR_SUCCESS);
    EXPECT_FALSE(UsesArbitraryRate(tio));
    EXPECT_EQ(tio.c_cflag & CIBAUD, 0u) << "a stale input speed would keep the old rate";
    EXPECT_EQ(TermiosToDcb(tio, 250000, Dcb{}).BaudRate, 19200u);
}

TEST(LinuxTermiosTest, KernelSettingsCarryTheFlagsAndEitherTheSpeedCodeOrTheRate) {
    uint32_t arbitraryRate = 0;
    const termios standard =
        Mapped(Block(9600, 7, ODDPARITY, TWOSTOPBITS, DCB_fOutX), &arbitraryRate);
    const KernelTermios k = ToKernelTermios(standard, arbitraryRate);
    EXPECT_EQ(k.iflag, standard.c_iflag);
    EXPECT_EQ(k.oflag, standard.c_oflag);
    EXPECT_EQ(k.cflag, standard.c_cflag);
    EXPECT_EQ(k.lflag, standard.c_lflag);
    EXPECT_EQ(std::memcmp(k.cc, standard.c_cc, kKernelControlChars), 0);
    EXPECT_EQ(k.ospeed, 9600u);

    const termios arbitrary = Mapped(Block(250000, 8, NOPARITY, ONESTOPBIT), &arbitraryRate);
    const KernelTermios a = ToKernelTermios(arbitrary, arbitraryRate);
    EXPECT_EQ(a.cflag & CBAUD, CBAUDEX) << "BOTHER: the rate is in ospeed";
    EXPECT_EQ(a.cflag & CIBAUD, CBAUDEX << 16) << "BOTHER for the input speed too";
    EXPECT_EQ(a.cflag & ~(CBAUD | CIBAUD), arbitrary.c_cflag & ~(CBAUD | CIBAUD));
    EXPECT_EQ(a.ispeed, 250000u);
    EXPECT_EQ(a.ospeed, 250000u);
}

TEST(LinuxTermiosTest, StatesTheLineCannotTakeAreRefusedAndChangeNothing) {
    Dcb sameXonXoff = Block(9600, 8, NOPARITY, ONESTOPBIT, DCB_fOutX);
    sameXonXoff.XoffChar = sameXonXoff.XonChar;
    const struct {
        const char* what;
        Dcb dcb;
    } cases[] = {
        {"rate 0 (B0 hangs up)", Block(0, 8, NOPARITY, ONESTOPBIT)},
        {"4 data bits", Block(9600, 4, NOPARITY, ONESTOPBIT)},
        {"9 data bits", Block(9600, 9, NOPARITY, ONESTOPBIT)},
        {"parity code 5", Block(9600, 8, 5, ONESTOPBIT)},
        {"1.5 stop bits", Block(9600, 8, NOPARITY, ONE5STOPBITS)},
        {"stop bits code 3", Block(9600, 8, NOPARITY, 3)},
        {"XON equal to XOFF", sameXonXoff},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const termios before = CookedTermios();
        termios tio = before;
        uint32_t arbitraryRate = 7;
        EXPECT_EQ(DcbToTermios(c.dcb, tio, arbitraryRate), ERROR_INVALID_PARAMETER);
        EXPECT_EQ(std::memcmp(&tio, &before, sizeof tio), 0);
    }
}

TEST(LinuxTermiosTest, FieldsTermiosCannotHoldComeFromTheShadow) {
    Dcb shadow = Block(9600, 8, NOPARITY, ONESTOPBIT,
                       DCB_fAbortOnError | DCB_fNull | DCB_fErrorChar | DCB_fTXContinueOnXoff |
                           DCB_fDsrSensitivity | DCB_fOutxDsrFlow | DCB_fOutX |
                           (DTR_CONTROL_HANDSHAKE << DCB_fDtrControlShift) |
                           (RTS_CONTROL_TOGGLE << DCB_fRtsControlShift));
    shadow.XonLim = 100;
    shadow.XoffLim = 200;
    shadow.ErrorChar = '?';
    shadow.EofChar = 0x1a;
    shadow.EvtChar = '\n';
    shadow.BaudRate = 1200;

    const termios tio = Mapped(Block(57600, 7, EVENPARITY, TWOSTOPBITS, DCB_fParity));
    const Dcb dcb = TermiosToDcb(tio, 0, shadow);
    EXPECT_EQ(dcb.DCBlength, 28u);
    EXPECT_EQ(dcb.BaudRate, 57600u);
    EXPECT_EQ(dcb.ByteSize, 7);
    EXPECT_EQ(dcb.Parity, EVENPARITY);
    EXPECT_EQ(dcb.StopBits, TWOSTOPBITS);
    EXPECT_EQ(dcb.flags, (shadow.flags & ~DCB_fOutX) | DCB_fBinary | DCB_fParity);
    EXPECT_EQ(dcb.XonLim, 100);
    EXPECT_EQ(dcb.XoffLim, 200);
    EXPECT_EQ(dcb.ErrorChar, '?');
    EXPECT_EQ(dcb.EofChar, 0x1a);
    EXPECT_EQ(dcb.EvtChar, '\n');
}

TEST(LinuxTermiosTest, MovedCountersBecomeLineErrorFlags) {
    const LineErrorCounts before{3, 4, 5, 6, 7};
    const struct {
        LineErrorCounts after;
        uint32_t flags;
    } cases[] = {
        {{3, 4, 5, 6, 7}, 0},
        {{4, 4, 5, 6, 7}, CE_FRAME},
        {{3, 5, 5, 6, 7}, CE_RXPARITY},
        {{3, 4, 6, 6, 7}, CE_OVERRUN},
        {{3, 4, 5, 7, 7}, CE_BREAK},
        {{3, 4, 5, 6, 9}, CE_RXOVER},
        {{9, 9, 5, 6, 7}, CE_FRAME | CE_RXPARITY},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(LineErrorFlags(before, c.after), c.flags) << c.flags;
    }
}
