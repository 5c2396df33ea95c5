// Starting with a port on the command line: --port opens that port with the options' line
// settings and the dialog's title, and no port dialog; a port that does not open leaves the
// empty main window with the usual box; the real executable tells a bad command line in one
// line on stderr and ends with status 2, and opens a real drel-devsim port without a dialog.

#include <gtest/gtest.h>
#include <termios.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "app/DrelAppFixture.h"
#include "app/LineOnDevice.h"
#include "devsim/DevsimProcess.h"
#include "framework/CMDIChildWnd.h"
#include "platform/SerialDevices.h"
#include "support/DigitPattern.h"
#include "support/ModalDriver.h"

namespace drel::test {
namespace {

namespace fs = std::filesystem;
using devsim::test::Clock;
using devsim::test::Devsim;
using devsim::test::kPatience;

const QStringList kMenusWithoutTerminal = {"&File", "&View", "&Help"};

struct PortStart {
    const char* name;
    std::vector<std::string> options;  // after "--port COM5"
    std::string title;
    LineOnDevice line;
};

void PrintTo(const PortStart& start, std::ostream* os) {
    *os << start.name;
}

class PortOptionTest : public DrelAppTest, public testing::WithParamInterface<PortStart> {
  protected:
    void PublishDevices() override {
        DrelAppTest::PublishDevices();
        m_com5 = &PublishDevice("COM5");
    }

    PseudoTerminal* m_com5 = nullptr;
};

TEST_P(PortOptionTest, OpensThePortWithTheOptionsSettingsAndTitleWithoutTheDialog) {
    std::vector<std::string> arguments = {"--port", "COM5"};
    arguments.insert(arguments.end(), GetParam().options.begin(), GetParam().options.end());
    bool asked = false;
    ASSERT_NO_FATAL_FAILURE(StartApp(
        [&](QWidget* dialog) {
            asked = true;
            CancelDialog(dialog);
        },
        arguments));

    EXPECT_FALSE(asked) << "the port dialog showed";
    EXPECT_TRUE(boxes.empty());
    ASSERT_EQ(app->GetOpenDocuments().size(), 1u);
    ASSERT_NE(ActiveDoc(), nullptr);
    EXPECT_EQ(ActiveDoc()->Connection().connected, 1);
    EXPECT_EQ(ActiveDoc()->GetTitle(), GetParam().title);
    EXPECT_EQ(Frame()->windowTitle().toStdString(), "drel - " + GetParam().title);
    EXPECT_EQ(MenuTitles(), kMenusWithTerminal);
    EXPECT_EQ(LineOf(*m_com5), GetParam().line);

    // Text flows both ways on that port.
    CDrelView* terminal = ActiveView();
    ASSERT_NE(terminal, nullptr);
    Send(*m_com5, "hello");
    ExpectShown(terminal, "hello");
    ASSERT_NO_FATAL_FAILURE(Focus(terminal));
    Press(Qt::Key_Z);
    EXPECT_EQ(Escaped(Received(*m_com5, 1)), "z");

    // Only the start-up connection takes the command line's port: "&New" asks again.
    CDrelDoc* next = NewConnection(AcceptDefaults);
    ASSERT_NE(next, nullptr) << "no port dialog, or no connection after it";
    EXPECT_EQ(next->GetTitle(), "COM2 115200  N-8-1");
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Settings, PortOptionTest,
    testing::Values(
        PortStart{"DialogDefaults", {}, "COM5 115200  N-8-1",
                  {B115200, false, false, false, false}},
        PortStart{"EveryOptionChanged",
                  {"--baud", "9600", "--data-bits", "7", "--parity", "even", "--stop-bits", "2",
                   "--flow", "xonxoff"},
                  "COM5 9600  E-7-2", {B9600, false, true, false, true}},
        PortStart{"OddWithRtsCts", {"--parity=odd", "--flow=rtscts", "--baud=57600"},
                  "COM5 57600  O-8-1", {B57600, true, false, true, false}}),
    [](const testing::TestParamInfo<PortStart>& info) { return info.param.name; });
// clang-format on

TEST_F(DrelAppTest, APortOptionThatDoesNotOpenLeavesTheEmptyMainWindowWithTheBox) {
    bool asked = false;
    ASSERT_NO_FATAL_FAILURE(StartApp(
        [&](QWidget* dialog) {
            asked = true;
            CancelDialog(dialog);
        },
        {"--port", "NOSUCHPORT", "--baud", "9600"}));

    EXPECT_FALSE(asked) << "the port dialog showed";
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_TRUE(boxes[0].text.starts_with("NOSUCHPORT port can not open")) << boxes[0].text;
    EXPECT_TRUE(Frame()->isVisible());
    EXPECT_TRUE(app->GetOpenDocuments().empty());
    EXPECT_TRUE(Frame()->GetChildFrames().empty());
    EXPECT_EQ(MenuTitles(), kMenusWithoutTerminal);
    EXPECT_EQ(Frame()->windowTitle(), "drel");

    CDrelDoc* doc = NewConnection(AcceptDefaults);
    ASSERT_NE(doc, nullptr) << "no port dialog, or no connection after it";
    EXPECT_EQ(doc->Connection().connected, 1);
}

std::string FileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The log runs from the open, so the board's first line is in it, stamped.
TEST_F(DrelAppTest, ALogOptionLogsFromTheFirstByte) {
    const std::string path = TempPath("start.log");
    ASSERT_NO_FATAL_FAILURE(
        StartApp(AcceptDefaults, {"--port", "COM2", "--log", path, "--log-format", "iso"}));
    ASSERT_NE(ActiveView(), nullptr);
    Send(*device, "A\r\n");
    ExpectShown(ActiveView(), "A\r\n");
    CloseWindow(ActiveView()->GetParentFrame()->Widget());  // the close writes the log out
    EXPECT_TRUE(MatchesDigitPattern(FileText(path), "[####-##-##T##:##:##.###] A\n"))
        << Escaped(FileText(path));
    EXPECT_TRUE(boxes.empty());
}

TEST_F(DrelAppTest, ALogOptionWhoseFileCannotBeMadeIsToldBeforeThePortOpens) {
    const std::string path = TempPath("missing/start.log");
    ASSERT_NO_FATAL_FAILURE(StartApp(AcceptDefaults, {"--port", "COM2", "--log", path}));
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_TRUE(boxes[0].text.starts_with(path + ": the log cannot be opened: ")) << boxes[0].text;
    EXPECT_TRUE(app->GetOpenDocuments().empty());
}

// ---- The executable ------------------------------------------------------------------------

class DrelProcessTest : public devsim::test::DevsimProcessTest {};

// The lines of `text` that the program wrote, without the notes Qt's start makes about the
// machine it runs on (a missing XDG_RUNTIME_DIR, for one).
std::vector<std::string> ProgramLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.starts_with("QStandardPaths: ")) {
            lines.push_back(line);
        }
    }
    return lines;
}

TEST_F(DrelProcessTest, ABadCommandLineEndsWithStatusTwoAndOneLineOnStderr) {
    const struct {
        std::vector<std::string> arguments;
        std::string line;
    } cases[] = {
        {{"--port", "COM2", "--parity", "x"}, "drel: --parity takes none, odd or even, not 'x'"},
        {{"--reconect"},
         "drel: unknown option '--reconect'; the options are --port, --baud, --data-bits, "
         "--parity, --stop-bits, --flow, --log, --log-format, --reconnect, --list-ports, --help "
         "and --version"},
        {{"--list-ports=all"}, "drel: --list-ports takes no value"},
        {{"--port", "COM2", "log.txt"},
         "drel: --port opens a port at start-up and cannot open the file 'log.txt' too"},
    };
    for (const auto& c : cases) {
        Devsim drel(c.arguments, configHome_, DREL_PATH);
        const auto deadline = Clock::now() + kPatience;
        EXPECT_EQ(ProgramLines(devsim::test::ReadToEnd(drel.err(), deadline)),
                  std::vector<std::string>{c.line});
        EXPECT_EQ(devsim::test::ReadToEnd(drel.out(), deadline), "") << c.line;
        EXPECT_EQ(drel.WaitForExit(deadline), 2) << c.line;
    }
    // It ended before its settings were touched.
    EXPECT_FALSE(fs::exists(configHome_ / "Ovex" / "drel.conf"));
}

TEST_F(DrelProcessTest, ListPortsPrintsEachDeviceOnALineAndEnds) {
    std::string expected;
    for (const platform::SerialDevice& device : platform::ListSerialDevicesDescribed()) {
        const std::string description = platform::DescribeSerialDevice(device);
        expected += device.name + (description.empty() ? "" : "  " + description) + "\n";
    }
    Devsim drel({"--list-ports"}, configHome_, DREL_PATH);
    const auto deadline = Clock::now() + kPatience;
    EXPECT_EQ(devsim::test::ReadToEnd(drel.out(), deadline), expected);
    EXPECT_EQ(drel.WaitForExit(deadline), 0);
    EXPECT_FALSE(fs::exists(configHome_ / "Ovex" / "drel.conf"));
}

TEST_F(DrelProcessTest, HelpAndVersionPrintAndEnd) {
    const struct {
        std::string option;
        std::string begins;
    } cases[] = {
        {"--help", "Usage: drel [OPTIONS] [FILE]\n"},
        {"--version", std::string("drel ") + DREL_VERSION + "\n"},
    };
    for (const auto& c : cases) {
        Devsim drel({c.option}, configHome_, DREL_PATH);
        const auto deadline = Clock::now() + kPatience;
        const std::string out = devsim::test::ReadToEnd(drel.out(), deadline);
        EXPECT_TRUE(out.starts_with(c.begins)) << c.option << ": " << out;
        EXPECT_EQ(drel.WaitForExit(deadline), 0) << c.option;
    }
    EXPECT_FALSE(fs::exists(configHome_ / "Ovex" / "drel.conf"));
}

// Whether process `pid` holds `path` open.
bool HoldsOpen(pid_t pid, const fs::path& path) {
    std::error_code error;
    for (const auto& entry :
         fs::directory_iterator("/proc/" + std::to_string(pid) + "/fd", error)) {
        if (fs::read_symlink(entry.path(), error) == path) {
            return true;
        }
    }
    return false;
}

TEST_F(DrelProcessTest, APortOptionOpensADevsimPortWithoutTheDialog) {
    Devsim device({"--as", "COM2"}, configHome_);
    const std::string announced = devsim::test::ReadLine(device.out(), Clock::now() + kPatience);
    const std::string prefix = "drel-devsim: COM2 -> ";
    ASSERT_TRUE(announced.starts_with(prefix)) << announced;
    const fs::path slave = announced.substr(prefix.size());

    Devsim drel({"--port", "COM2", "--baud", "9600"}, configHome_, DREL_PATH);
    // Were the dialog up, nothing would open the port until someone answered it.
    EXPECT_TRUE(devsim::test::WaitUntil([&] { return HoldsOpen(drel.pid(), slave); },
                                        Clock::now() + kPatience))
        << "drel did not open " << slave;

    // drel has no handler of its own for SIGTERM: it was running until the signal ended it.
    ASSERT_TRUE(drel.Signal(SIGTERM));
    EXPECT_EQ(drel.WaitForExit(Clock::now() + kPatience), 128 + SIGTERM);
    ASSERT_TRUE(device.Signal(SIGTERM));
    EXPECT_EQ(device.WaitForExit(Clock::now() + kPatience), 0);
}

}  // namespace
}  // namespace drel::test
