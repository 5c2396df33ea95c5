#include "connection/LineSettings.h"

#include <gtest/gtest.h>
#include <termios.h>

#include <cstring>
#include <memory>

#include "platform/CommError.h"
#include "platform/LinuxKernelTermios.h"
#include "platform/SerialService.h"
#include "support/PseudoTerminal.h"
#include "support/ScriptedSerialService.h"

using namespace drel;
using namespace drel::platform;

namespace {

constexpr uint32_t kDtrEnable = DTR_CONTROL_ENABLE << DCB_fDtrControlShift;
constexpr uint32_t kRtsEnable = RTS_CONTROL_ENABLE << DCB_fRtsControlShift;

LineSettings Settings(uint32_t rate, uint8_t byteSize, uint8_t parity, uint8_t stopBits,
                      uint32_t flow = 0) {
    LineSettings settings;
    settings.BaudRate = rate;
    settings.ByteSize = byteSize;
    settings.Parity = parity;
    settings.StopBits = stopBits;
    settings.flags = flow;
    return settings;
}

termios LineOf(const test::PseudoTerminal& pty) {
    termios tio{};
    EXPECT_EQ(tcgetattr(pty.SlaveFd(), &tio), 0);
    return tio;
}

class LineSettingsOnPseudoTerminal : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(pty_.IsOpen());
        port_ = SystemSerialService().CreateFileA(pty_.SlavePath());
        ASSERT_NE(port_, nullptr) << GetLastError();
    }

    test::PseudoTerminal pty_;
    std::unique_ptr<SerialPort> port_;
};

}  // namespace

// A pseudo-terminal forces 8 data bits and no parity whatever is set, so CS7 and PARENB cannot
// be read back here; LinuxTermiosTest covers their mapping. Everything else reaches the line.
TEST_F(LineSettingsOnPseudoTerminal, LineReadsBackAsSet) {
    const struct {
        LineSettings settings;
        speed_t speed;
        tcflag_t cflag;  // of PARODD, CSTOPB, CRTSCTS
        tcflag_t iflag;  // of IXON, IXOFF
    } cases[] = {
        {Settings(115200, 8, NOPARITY, ONESTOPBIT), B115200, 0, 0},
        {Settings(9600, 7, EVENPARITY, TWOSTOPBITS, DCB_fOutxCtsFlow), B9600, CSTOPB | CRTSCTS, 0},
        {Settings(57600, 8, ODDPARITY, ONESTOPBIT, DCB_fOutX | DCB_fInX), B57600, PARODD,
         IXON | IXOFF},
        {Settings(300, 7, ODDPARITY, TWOSTOPBITS), B300, PARODD | CSTOPB, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.settings.BaudRate);
        ASSERT_TRUE(ApplyLineSettings(*port_, c.settings)) << GetLastError();
        const termios tio = LineOf(pty_);
        EXPECT_EQ(cfgetospeed(&tio), c.speed);
        EXPECT_EQ(cfgetispeed(&tio), c.speed);
        EXPECT_EQ(tio.c_cflag & (PARODD | CSTOPB | CRTSCTS), c.cflag);
        EXPECT_EQ(tio.c_iflag & (IXON | IXOFF), c.iflag);
        EXPECT_EQ(tio.c_iflag & INPCK, INPCK) << "parity checking is always on";
        EXPECT_EQ(tio.c_cc[VSTART], 0x11);
        EXPECT_EQ(tio.c_cc[VSTOP], 0x13);
        EXPECT_EQ(tio.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u) << "raw";
        EXPECT_EQ(tio.c_oflag & OPOST, 0u) << "raw";
        EXPECT_EQ(tio.c_iflag & (ICRNL | INLCR | IGNCR | ISTRIP), 0u) << "raw";
        EXPECT_EQ(tio.c_cflag & (CLOCAL | CREAD), CLOCAL | CREAD);
    }
}

TEST_F(LineSettingsOnPseudoTerminal, ArbitraryRateReachesTheLineAndAStandardOneReplacesIt) {
    ASSERT_TRUE(ApplyLineSettings(*port_, Settings(250000, 8, NOPARITY, ONESTOPBIT)))
        << GetLastError();
    uint32_t rate = 0;
    ASSERT_TRUE(GetLineRate(pty_.SlaveFd(), rate));
    EXPECT_EQ(rate, 250000u);
    Dcb reported;
    ASSERT_TRUE(port_->GetCommState(reported));
    EXPECT_EQ(reported.BaudRate, 250000u);

    ASSERT_TRUE(ApplyLineSettings(*port_, Settings(19200, 8, NOPARITY, ONESTOPBIT)));
    ASSERT_TRUE(GetLineRate(pty_.SlaveFd(), rate));
    EXPECT_EQ(rate, 19200u);
    const termios tio = LineOf(pty_);
    EXPECT_EQ(cfgetispeed(&tio), B19200) << "the input speed follows the output speed";
}

TEST_F(LineSettingsOnPseudoTerminal, FlagsThePortReportedSurvive) {
    Dcb earlier = Settings(9600, 8, NOPARITY, ONESTOPBIT);
    earlier.flags |= DCB_fAbortOnError | DCB_fNull;
    earlier.ErrorChar = '?';
    earlier.EvtChar = '\n';
    ASSERT_TRUE(port_->SetCommState(earlier)) << GetLastError();

    ASSERT_TRUE(ApplyLineSettings(*port_, Settings(38400, 8, NOPARITY, ONESTOPBIT)));
    Dcb now;
    ASSERT_TRUE(port_->GetCommState(now));
    EXPECT_EQ(now.BaudRate, 38400u);
    EXPECT_EQ(now.flags & (DCB_fAbortOnError | DCB_fNull), DCB_fAbortOnError | DCB_fNull);
    EXPECT_EQ(now.ErrorChar, '?');
    EXPECT_EQ(now.EvtChar, '\n');
    EXPECT_EQ(now.XonLim, 100);
    EXPECT_EQ(now.XoffLim, 100);
}

TEST_F(LineSettingsOnPseudoTerminal, RateZeroFailsAndLeavesTheLineAsItWas) {
    for (const uint32_t earlierRate : {115200u, 250000u}) {
        SCOPED_TRACE(earlierRate);
        ASSERT_TRUE(ApplyLineSettings(
            *port_, Settings(earlierRate, 8, ODDPARITY, ONESTOPBIT, DCB_fOutxCtsFlow)))
            << GetLastError();
        const termios before = LineOf(pty_);

        EXPECT_FALSE(ApplyLineSettings(*port_, Settings(0, 8, NOPARITY, TWOSTOPBITS)));
        EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
        const termios after = LineOf(pty_);
        EXPECT_EQ(std::memcmp(&before, &after, sizeof before), 0);
        uint32_t rate = 0;
        ASSERT_TRUE(GetLineRate(pty_.SlaveFd(), rate));
        EXPECT_EQ(rate, earlierRate);
    }
}

namespace {

// The block the scripted port reports: every flag and field set, as a port whose earlier user
// left everything on.
Dcb BusyReportedState() {
    Dcb dcb;
    dcb.BaudRate = 1200;
    dcb.flags = 0x7FFF;  // every defined bit, DTR and RTS in handshake/toggle modes
    dcb.XonLim = 7;
    dcb.XoffLim = 9;
    dcb.ByteSize = 5;
    dcb.Parity = SPACEPARITY;
    dcb.StopBits = ONE5STOPBITS;
    dcb.XonChar = 'a';
    dcb.XoffChar = 'b';
    dcb.ErrorChar = '?';
    dcb.EofChar = 0x1a;
    dcb.EvtChar = '\n';
    return dcb;
}

}  // namespace

TEST(LineSettingsTest, FlowModesSetTheirBitsAndHoldDtrAndRtsOn) {
    const uint32_t kFlow = DCB_fOutxCtsFlow | DCB_fOutX | DCB_fInX;
    const struct {
        const char* mode;
        uint32_t flow;
    } cases[] = {
        {"NONE", 0},
        {"RTS/CTS", DCB_fOutxCtsFlow},
        {"Xon/Xoff", DCB_fOutX | DCB_fInX},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mode);
        test::ScriptedSerialService service;
        service.SetReportedState(BusyReportedState());
        auto port = service.CreateFileA("COM2");
        ASSERT_TRUE(ApplyLineSettings(*port, Settings(9600, 8, NOPARITY, ONESTOPBIT, c.flow)));
        const Dcb applied = service.AppliedState();
        EXPECT_EQ(applied.flags & kFlow, c.flow);
        EXPECT_EQ(applied.flags & DCB_fOutxDsrFlow, 0u);
        EXPECT_EQ(DtrControl(applied), DTR_CONTROL_ENABLE);
        EXPECT_EQ(RtsControl(applied), RTS_CONTROL_ENABLE) << "RTS held on, also with RTS/CTS";
    }
}

TEST(LineSettingsTest, TakesTheFourLineFieldsAndFixesTheRest) {
    test::ScriptedSerialService service;
    const Dcb reported = BusyReportedState();
    service.SetReportedState(reported);
    auto port = service.CreateFileA("COM2");

    // Only the rate, format and flow bits of the settings count; the rest is ignored.
    LineSettings settings = Settings(115200, 8, NOPARITY, ONESTOPBIT);
    settings.ErrorChar = 'x';
    settings.XonLim = 1;
    settings.flags |= DCB_fOutxDsrFlow;
    ASSERT_TRUE(ApplyLineSettings(*port, settings));

    const Dcb applied = service.AppliedState();
    EXPECT_EQ(applied.DCBlength, 28u);
    EXPECT_EQ(applied.BaudRate, 115200u);
    EXPECT_EQ(applied.ByteSize, 8);
    EXPECT_EQ(applied.Parity, NOPARITY);
    EXPECT_EQ(applied.StopBits, ONESTOPBIT);
    EXPECT_EQ(applied.XonChar, 0x11);
    EXPECT_EQ(applied.XoffChar, 0x13);
    EXPECT_EQ(applied.XonLim, 100);
    EXPECT_EQ(applied.XoffLim, 100);
    EXPECT_TRUE(applied.flags & DCB_fBinary);
    EXPECT_TRUE(applied.flags & DCB_fParity) << "None parity still checks parity";
    const uint32_t kKept = DCB_fDsrSensitivity | DCB_fTXContinueOnXoff | DCB_fErrorChar |
                           DCB_fNull | DCB_fAbortOnError;
    EXPECT_EQ(applied.flags & kKept, kKept);
    EXPECT_EQ(applied.ErrorChar, '?');
    EXPECT_EQ(applied.EofChar, 0x1a);
    EXPECT_EQ(applied.EvtChar, '\n');

    const auto calls = service.Calls();
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[1], "GetCommState 28");
    EXPECT_EQ(calls[2], "SetCommState");
}

TEST(LineSettingsTest, StateIsAppliedEvenWhenItCannotBeRead) {
    test::ScriptedSerialService service;
    service.FailGetCommState(true);
    auto port = service.CreateFileA("COM2");
    ASSERT_TRUE(ApplyLineSettings(*port, Settings(4800, 7, EVENPARITY, TWOSTOPBITS)));
    const Dcb applied = service.AppliedState();
    EXPECT_EQ(applied.BaudRate, 4800u);
    EXPECT_EQ(applied.ByteSize, 7);
    EXPECT_EQ(applied.Parity, EVENPARITY);
    EXPECT_EQ(applied.StopBits, TWOSTOPBITS);
    EXPECT_EQ(applied.ErrorChar, 0);
}

TEST(LineSettingsTest, RefusedStateIsAFailure) {
    test::ScriptedSerialService service;
    service.RefuseCommState(true);
    auto port = service.CreateFileA("COM2");
    EXPECT_FALSE(ApplyLineSettings(*port, Settings(9600, 8, NOPARITY, ONESTOPBIT)));
}
