// The line that says why a port did not open, from given facts; and the look-ups that gather the
// facts, on real files, terminals and processes.

#include "platform/OpenDiagnosis.h"

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>

#include "platform/CommError.h"
#include "support/ChildProcesses.h"
#include "support/PseudoTerminal.h"

using namespace drel::platform;
using drel::test::PortHolderProcess;
using drel::test::PseudoTerminal;
using drel::test::TemporaryConfigHome;

namespace {

// The facts a case hands the diagnosis, and which of them it asked for.
struct Facts {
    // Copies, not moves: GCC takes the move of an empty optional for a read of its contents.
    Facts(const std::optional<NodeAccess>& access = std::nullopt,
          const std::optional<PortHolder>& holder = std::nullopt,
          const std::vector<std::string>& present = {})
        : access(access), holder(holder), present(present) {}

    std::optional<NodeAccess> access;
    std::optional<PortHolder> holder;
    std::vector<std::string> present;
    std::string asked;

    OpenDiagnosisSources Sources() {
        return {[this](const std::string&) {
                    asked += "access ";
                    return access;
                },
                [this](const std::string&) {
                    asked += "holder ";
                    return holder;
                },
                [this] {
                    asked += "present ";
                    return present;
                }};
    }
};

NodeAccess Access(unsigned mode, bool inGroup, bool atNextLogin, std::string user = "alice") {
    return NodeAccess{"root", "dialout", mode, false, inGroup, atNextLogin, std::move(user)};
}

}  // namespace

TEST(OpenDiagnosisTest, EachCauseHasItsLine) {
    const std::string usb = "/dev/ttyUSB0";
    const struct {
        const char* name;
        std::string device;
        int err;
        Facts facts;
        std::string line;
    } cases[] = {
        {"not in the group",
         usb,
         EACCES,
         {Access(0660, false, false)},
         "/dev/ttyUSB0 belongs to group dialout, which you are not in: add yourself (sudo usermod "
         "-aG dialout alice) and log in again."},
        {"not in the group, user unknown",
         usb,
         EACCES,
         {Access(0660, false, false, "")},
         "/dev/ttyUSB0 belongs to group dialout, which you are not in: add yourself (sudo usermod "
         "-aG dialout $USER) and log in again."},
        {"joined after logging in",
         usb,
         EACCES,
         {Access(0660, false, true)},
         "/dev/ttyUSB0 belongs to group dialout, which you joined after you logged in: log in "
         "again."},
        {"only the owner may",
         usb,
         EACCES,
         {Access(0600, false, false)},
         "/dev/ttyUSB0 (owner root, group dialout, mode 0600) may be opened only by its owner: a "
         "udev rule with GROUP and MODE=\"0660\" can let a group of yours in."},
        {"bits allow, something else refuses",
         usb,
         EPERM,
         {Access(0660, true, true)},
         "/dev/ttyUSB0: Operation not permitted."},
        {"node out of sight", usb, EACCES, {}, "/dev/ttyUSB0: Permission denied."},
        {"held by a program",
         usb,
         EBUSY,
         {{}, PortHolder{1234, "minicom", false}},
         "/dev/ttyUSB0 is in use by process 1234 (minicom)."},
        {"held by the modem manager",
         usb,
         EBUSY,
         {{}, PortHolder{812, "ModemManager", false}},
         "/dev/ttyUSB0 is in use by process 812 (ModemManager), which probes new modems; keep it "
         "away from this device with the udev property ID_MM_DEVICE_IGNORE=1."},
        {"holder without a name",
         usb,
         EBUSY,
         {{}, PortHolder{99, "", false}},
         "/dev/ttyUSB0 is in use by process 99."},
        {"held by this program",
         usb,
         EBUSY,
         {{}, PortHolder{7, "drel", true}},
         "/dev/ttyUSB0 is already open in another window of drel."},
        {"holder out of sight",
         usb,
         EBUSY,
         {},
         "/dev/ttyUSB0 is held by another program, which could not be named (it may belong to "
         "another user)."},
        {"missing, others present",
         "/dev/ttyUSB3",
         ENOENT,
         {{}, {}, {"ttyUSB0", "ttyACM0"}},
         "No device /dev/ttyUSB3; present: ttyUSB0, ttyACM0."},
        {"missing, none present",
         "/dev/ttyUSB3",
         ENOENT,
         {},
         "No device /dev/ttyUSB3; none present."},
        {"gone with its driver",
         "/dev/ttyACM0",
         ENODEV,
         {{}, {}, {"ttyS0"}},
         "No device /dev/ttyACM0; present: ttyS0."},
        {"no hardware behind the node",
         "/dev/ttyS3",
         ENXIO,
         {},
         "No device /dev/ttyS3; none present."},
        {"a file", "/home/x/file", ENOTTY, {}, "/home/x/file is not a serial device."},
        {"a folder", "/home/x", EISDIR, {}, "/home/x is not a serial device."},
        {"anything else", "/dev/ttyS4", EIO, {}, "/dev/ttyS4: Input/output error."},
        {"no reason given", "/dev/ttyS4", 0, {}, "/dev/ttyS4 could not be opened."},
    };
    for (auto c : cases) {
        EXPECT_EQ(DescribeOpenFailure(c.device, c.err, c.facts.Sources()), c.line) << c.name;
    }
}

// The /proc scan and the list of devices cost time and open ports: each cause asks only for what
// it explains.
TEST(OpenDiagnosisTest, EachCauseAsksOnlyForItsFacts) {
    const struct {
        int err;
        const char* asked;
    } cases[] = {
        {EACCES, "access "},  {EPERM, "access "},  {EBUSY, "holder "}, {ENOENT, "present "},
        {ENODEV, "present "}, {ENXIO, "present "}, {ENOTTY, ""},       {EIO, ""},
    };
    for (const auto& c : cases) {
        Facts facts;
        DescribeOpenFailure("/dev/ttyUSB0", c.err, facts.Sources());
        EXPECT_EQ(facts.asked, c.asked) << c.err;
    }
}

TEST(OpenDiagnosisTest, ErrnoComesBackFromTheLastError) {
    EXPECT_EQ(ErrnoOf(EBUSY), EBUSY);
    EXPECT_EQ(ErrnoOf(ERROR_INVALID_PARAMETER), EINVAL);
    EXPECT_EQ(ErrnoOf(ERROR_SUCCESS), 0);
    EXPECT_EQ(ErrnoOf(ERROR_IO_PENDING), 0);
    FailWithErrno(EACCES);
    EXPECT_EQ(ErrnoOf(GetLastError()), EACCES);
}

// Messages speak of the device itself, not of the link the user named it by.
TEST(OpenDiagnosisTest, MessagesNameTheDeviceBehindALink) {
    TemporaryConfigHome folder;
    const std::filesystem::path base = folder.Path();
    std::ofstream(base / "device").put('x');
    std::filesystem::create_symlink(base / "device", base / "to-device");
    std::filesystem::create_symlink("to-device", base / "to-link");
    std::filesystem::create_symlink("/dev/drel-gone", base / "to-gone");
    std::filesystem::create_symlink("../gone", base / "relative-gone");
    const struct {
        std::filesystem::path path;
        std::string shown;
    } cases[] = {
        {base / "device", (base / "device").string()},
        {base / "to-device", (base / "device").string()},
        {base / "to-link", (base / "device").string()},
        {base / "to-gone", "/dev/drel-gone"},
        {base / "relative-gone", (base.parent_path() / "gone").string()},
        {"/dev/drel-no-such-port", "/dev/drel-no-such-port"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DeviceForMessages(c.path.string()), c.shown) << c.path;
    }
}

TEST(OpenDiagnosisTest, FlockHolderIsReadFromTheLockList) {
    const std::string locks =
        "1: POSIX  ADVISORY  WRITE 100 00:19:3 0 EOF\n"
        "2: FLOCK  ADVISORY  WRITE 200 00:19:4 0 EOF\n"
        "2: -> FLOCK  ADVISORY  WRITE 300 00:19:3 0 EOF\n"
        "3: FLOCK  ADVISORY  READ 400 08:01:3 0 EOF\n"
        "4: OFDLCK ADVISORY  WRITE -1 00:19:5 0 EOF\n"
        "5: FLOCK  ADVISORY  WRITE 500 00:19:3 0 EOF\n";
    const struct {
        unsigned major, minor;
        unsigned long inode;
        std::optional<pid_t> pid;
    } cases[] = {
        {0, 25, 3, 500},           // behind a byte-range lock and a waiter
        {0, 25, 4, 200},           // another inode of the same file system
        {8, 1, 3, 400},            // a shared flock keeps an exclusive one out too
        {0, 25, 5, std::nullopt},  // an open file description's lock is no flock
        {0, 26, 3, std::nullopt},  // another file system
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FlockHolderIn(locks, c.major, c.minor, c.inode), c.pid) << c.inode;
    }
    EXPECT_EQ(FlockHolderIn("", 0, 25, 3), std::nullopt);
    EXPECT_EQ(FlockHolderIn("garbage\n1: FLOCK\n", 0, 25, 3), std::nullopt);
}

TEST(OpenDiagnosisTest, NodeAccessOfYourOwnNode) {
    TemporaryConfigHome folder;
    const std::string file = folder.Path() + "/node";
    std::ofstream(file).put('x');
    ASSERT_EQ(chmod(file.c_str(), 0640), 0);
    const passwd* you = getpwuid(geteuid());
    const group* yourGroup = getgrgid(getegid());
    ASSERT_NE(you, nullptr);
    ASSERT_NE(yourGroup, nullptr);

    const std::optional<NodeAccess> access = LookUpNodeAccess(file);
    ASSERT_TRUE(access);
    EXPECT_EQ(access->owner, you->pw_name);
    EXPECT_EQ(access->group, yourGroup->gr_name);
    EXPECT_EQ(access->mode, 0640u);
    EXPECT_TRUE(access->ownedByYou);
    EXPECT_TRUE(access->inGroup);
    EXPECT_EQ(access->userName, you->pw_name);
    EXPECT_FALSE(LookUpNodeAccess(folder.Path() + "/missing"));
}

TEST(OpenDiagnosisTest, NodeAccessOfANodeOfStrangers) {
    if (!drel::test::CanRunAsOtherUser()) {
        GTEST_SKIP() << "giving a node to another owner and group takes root";
    }
    TemporaryConfigHome folder;
    const std::string file = folder.Path() + "/node";
    std::ofstream(file).put('x');
    // Numbers no user or group has.
    ASSERT_EQ(chown(file.c_str(), 54321, 54322), 0);
    const std::optional<NodeAccess> access = LookUpNodeAccess(file);
    ASSERT_TRUE(access);
    EXPECT_EQ(access->owner, "54321");
    EXPECT_EQ(access->group, "54322");
    EXPECT_FALSE(access->ownedByYou);
    EXPECT_FALSE(access->inGroup);
    EXPECT_FALSE(access->inGroupAtNextLogin);
}

TEST(OpenDiagnosisTest, HolderIsTheProcessThatHoldsThePort) {
    const struct {
        const char* name;
        PortHolderProcess::Hold hold;
    } cases[] = {
        // found in the lock list
        {"lock-holder", PortHolderProcess::Hold::LockAndExclusive},
        // found among the open descriptors, before this process, which has the slave open too
        {"excl-holder", PortHolderProcess::Hold::ExclusiveOnly},
    };
    for (const auto& c : cases) {
        PseudoTerminal pty;
        ASSERT_TRUE(pty.IsOpen());
        PortHolderProcess holder(pty.SlavePath(), c.name, c.hold);
        int failure = 0;
        ASSERT_TRUE(holder.WaitUntilHolding(failure)) << c.name << ": " << failure;
        const std::optional<PortHolder> found = FindPortHolder(pty.SlavePath());
        ASSERT_TRUE(found) << c.name;
        EXPECT_EQ(found->pid, holder.Pid()) << c.name;
        EXPECT_EQ(found->command, c.name);
        EXPECT_FALSE(found->isThisProcess) << c.name;
    }
}

TEST(OpenDiagnosisTest, HolderIsThisProcessWhenNoOtherHasThePort) {
    PseudoTerminal pty;  // holds the slave open
    ASSERT_TRUE(pty.IsOpen());
    const std::optional<PortHolder> found = FindPortHolder(pty.SlavePath());
    ASSERT_TRUE(found);
    EXPECT_EQ(found->pid, getpid());
    EXPECT_TRUE(found->isThisProcess);

    TemporaryConfigHome folder;
    const std::string unopened = folder.Path() + "/unopened";
    std::ofstream(unopened).put('x');
    EXPECT_FALSE(FindPortHolder(unopened));
    EXPECT_FALSE(FindPortHolder(folder.Path() + "/missing"));
}
