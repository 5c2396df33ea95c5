// What the system's serial service says about a port that does not open, on real devices: a
// pseudo-terminal that an unprivileged user may not open, one that another process holds, a
// device that is not there and files that are no terminals.

#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>

#include "platform/CommError.h"
#include "platform/SerialService.h"
#include "support/ChildProcesses.h"
#include "support/PseudoTerminal.h"

using namespace drel::platform;
using drel::test::PortHolderProcess;
using drel::test::PseudoTerminal;
using drel::test::TemporaryConfigHome;

namespace {

// The line the service gives for opening `portName`, which must fail with `err`.
std::string LineForFailedOpen(const std::string& portName, int err) {
    EXPECT_EQ(SystemSerialService().CreateFileA(portName), nullptr) << portName;
    const uint32_t error = GetLastError();
    EXPECT_EQ(error, static_cast<uint32_t>(err)) << portName;
    return SystemSerialService().WhyOpenFailed(portName, error);
}

// What the probe prints when user nobody opens `portName`; empty when it could not be run.
std::string LineForNobody(const std::string& portName) {
    return drel::test::RunAsNobody(DREL_OPEN_PROBE_PATH, {portName}).value_or("");
}

std::string InUseBy(const std::string& device, const PortHolderProcess& holder,
                    const std::string& command) {
    return device + " is in use by process " + std::to_string(holder.Pid()) + " (" + command + ")";
}

}  // namespace

TEST(OpenFailureOnSystemTest, BusyPortNamesTheProcessThatHoldsIt) {
    const struct {
        const char* command;
        std::string rest;
    } cases[] = {
        {"holder-test", "."},
        {"ModemManager",
         ", which probes new modems; keep it away from this device with the udev property "
         "ID_MM_DEVICE_IGNORE=1."},
    };
    for (const auto& c : cases) {
        PseudoTerminal pty;
        ASSERT_TRUE(pty.IsOpen());
        PortHolderProcess holder(pty.SlavePath(), c.command,
                                 PortHolderProcess::Hold::LockAndExclusive);
        int failure = 0;
        ASSERT_TRUE(holder.WaitUntilHolding(failure)) << c.command << ": " << failure;
        EXPECT_EQ(LineForFailedOpen(pty.SlavePath(), EBUSY),
                  InUseBy(pty.SlavePath(), holder, c.command) + c.rest);
    }
}

TEST(OpenFailureOnSystemTest, MissingDeviceAndFilesThatAreNoTerminals) {
    TemporaryConfigHome config;
    const std::string file = config.Path() + "/file";
    std::ofstream(file).put('x');
    ASSERT_TRUE(config.MakePortLink("COM9", "/dev/drel-gone"));
    const struct {
        std::string portName;
        int err;
        std::string line;  // or its start, when it ends with the devices present
        bool whole;
    } cases[] = {
        {"/dev/drel-no-such-port", ENOENT, "No device /dev/drel-no-such-port; ", false},
        {"COM9", ENOENT, "No device /dev/drel-gone; ", false},
        {file, ENOTTY, file + " is not a serial device.", true},
        {config.Path(), EISDIR, config.Path() + " is not a serial device.", true},
    };
    for (const auto& c : cases) {
        const std::string line = LineForFailedOpen(c.portName, c.err);
        if (c.whole) {
            EXPECT_EQ(line, c.line) << c.portName;
        } else {
            EXPECT_EQ(line.substr(0, c.line.size()), c.line) << c.portName;
            EXPECT_TRUE(line.ends_with(".")) << line;
        }
    }
}

// Only root can make a node that another user may not open and then be that user.
class AsNobodyTest : public testing::Test {
  protected:
    void SetUp() override {
        if (!drel::test::CanRunAsOtherUser()) {
            GTEST_SKIP() << "trying the open as user nobody takes root";
        }
        ASSERT_TRUE(pty_.IsOpen());
    }

    // Gives the slave to root and group `gid` with `mode`.
    void Restrict(gid_t gid, mode_t mode) {
        ASSERT_EQ(chown(pty_.SlavePath().c_str(), 0, gid), 0);
        ASSERT_EQ(chmod(pty_.SlavePath().c_str(), mode), 0);
    }

    PseudoTerminal pty_;
};

TEST_F(AsNobodyTest, RefusedOpenSaysWhoMayOpen) {
    const group* dialout = getgrnam("dialout");
    if (dialout == nullptr) {
        GTEST_SKIP() << "this system has no group dialout";
    }
    const std::string& slave = pty_.SlavePath();
    Restrict(dialout->gr_gid, 0660);
    EXPECT_EQ(LineForNobody(slave),
              slave +
                  " belongs to group dialout, which you are not in: add yourself (sudo usermod "
                  "-aG dialout nobody) and log in again.\n");
    Restrict(dialout->gr_gid, 0600);
    EXPECT_EQ(LineForNobody(slave),
              slave +
                  " (owner root, group dialout, mode 0600) may be opened only by its owner: a udev "
                  "rule with GROUP and MODE=\"0660\" can let a group of yours in.\n");
}

// A holder that locks the port shows in the lock list, which any user may read; one that only set
// exclusive mode hides among the descriptors of a user that nobody may not look into.
TEST_F(AsNobodyTest, BusyPortNamesItsHolderWhereItCan) {
    const std::string& slave = pty_.SlavePath();
    Restrict(0, 0666);
    {
        PortHolderProcess holder(slave, "holder-test", PortHolderProcess::Hold::LockAndExclusive);
        int failure = 0;
        ASSERT_TRUE(holder.WaitUntilHolding(failure)) << failure;
        EXPECT_EQ(LineForNobody(slave), InUseBy(slave, holder, "holder-test") + ".\n");
    }
    PseudoTerminal other;
    ASSERT_TRUE(other.IsOpen());
    ASSERT_EQ(chmod(other.SlavePath().c_str(), 0666), 0);
    PortHolderProcess holder(other.SlavePath(), "holder-test",
                             PortHolderProcess::Hold::ExclusiveOnly);
    int failure = 0;
    ASSERT_TRUE(holder.WaitUntilHolding(failure)) << failure;
    EXPECT_EQ(LineForNobody(other.SlavePath()),
              other.SlavePath() +
                  " is held by another program, which could not be named (it may belong to "
                  "another user).\n");
}

// The check of the checks: with nothing in the way, nobody opens the same node.
TEST_F(AsNobodyTest, OpenWorksWhenNothingIsInTheWay) {
    Restrict(0, 0666);
    EXPECT_EQ(LineForNobody(pty_.SlavePath()), "opened\n");
}
