// The program's command line: which words open a port at start-up and with which choices, which
// are left to the framework, and the one line every kind of mistake gets.

#include "app/DrelCommandLine.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace drel {
namespace {

using Words = std::vector<std::string>;

std::string Joined(const Words& words) {
    std::string text;
    for (const std::string& word : words) {
        text += (text.empty() ? "" : " ") + word;
    }
    return text.empty() ? "(none)" : text;
}

PortChoices Logging(PortChoices choices, const std::string& path, LogFormat format) {
    choices.logPath = path;
    choices.logFormat = format;
    return choices;
}

// The dialog's defaults on port `port`.
PortChoices On(const std::string& port) {
    PortChoices choices;
    choices.port = port;
    return choices;
}

PortChoices With(PortChoices choices, const std::string& baud, int32_t dataBits, int32_t parity,
                 int32_t stopBits, int32_t flow) {
    choices.baud = baud;
    choices.dataBits = dataBits;
    choices.parity = parity;
    choices.stopBits = stopBits;
    choices.flowControl = flow;
    return choices;
}

void ExpectSame(const std::optional<PortChoices>& actual, const std::optional<PortChoices>& want,
                const std::string& label) {
    ASSERT_EQ(actual.has_value(), want.has_value()) << label;
    if (want) {
        EXPECT_EQ(actual->port, want->port) << label;
        EXPECT_EQ(actual->baud, want->baud) << label;
        EXPECT_EQ(actual->dataBits, want->dataBits) << label;
        EXPECT_EQ(actual->parity, want->parity) << label;
        EXPECT_EQ(actual->stopBits, want->stopBits) << label;
        EXPECT_EQ(actual->flowControl, want->flowControl) << label;
        EXPECT_EQ(actual->logPath, want->logPath) << label;
        EXPECT_EQ(actual->logFormat, want->logFormat) << label;
    }
}

TEST(DrelCommandLineTest, SoundWordsGiveThePortAndLeaveTheRestToTheFramework) {
    const struct {
        Words words;
        std::optional<PortChoices> port;
        CCommandLineInfo::Shell shell;
        std::string file;
    } cases[] = {
        {{}, std::nullopt, CCommandLineInfo::FileNew, ""},
        {{"log.txt"}, std::nullopt, CCommandLineInfo::FileOpen, "log.txt"},
        {{"/p", "log.txt"}, std::nullopt, CCommandLineInfo::FilePrint, "log.txt"},
        {{"-unknown"}, std::nullopt, CCommandLineInfo::FileNew, ""},
        {{"--"}, std::nullopt, CCommandLineInfo::FileNew, ""},
        {{"--port", "COM2"}, On("COM2"), CCommandLineInfo::FileNew, ""},
        {{"--port", "ttyUSB0", "--baud", "9600", "--data-bits", "7", "--parity", "even",
          "--stop-bits", "2", "--flow", "xonxoff"},
         With(On("ttyUSB0"), "9600", 0, 2, 1, 2),
         CCommandLineInfo::FileNew,
         ""},
        {{"--flow=rtscts", "--parity=odd", "--port=/dev/ttyS3"},
         With(On("/dev/ttyS3"), "115200", 1, 1, 0, 1),
         CCommandLineInfo::FileNew,
         ""},
        {{"--data-bits", "8", "--parity", "none", "--stop-bits", "1", "--flow", "none", "--port",
          "COM1", "--baud", "2147483647"},
         With(On("COM1"), "2147483647", 1, 0, 0, 0),
         CCommandLineInfo::FileNew,
         ""},
        // The baud text is kept as given: the title shows it as the dialog shows it typed.
        {{"--port", "COM1", "--baud", "1"},
         With(On("COM1"), "1", 1, 0, 0, 0),
         CCommandLineInfo::FileNew,
         ""},
        {{"--port", "COM1", "--baud", "009600"},
         With(On("COM1"), "009600", 1, 0, 0, 0),
         CCommandLineInfo::FileNew,
         ""},
        // A log from the start, raw unless told otherwise.
        {{"--port", "COM2", "--log", "board.log"},
         Logging(On("COM2"), "board.log", LogFormat::Raw),
         CCommandLineInfo::FileNew,
         ""},
        {{"--log-format=delta", "--log", "/tmp/b.log", "--port", "COM2"},
         Logging(On("COM2"), "/tmp/b.log", LogFormat::Delta),
         CCommandLineInfo::FileNew,
         ""},
        // A single dash is the framework's, as before.
        {{"-x", "--port", "my port"}, On("my port"), CCommandLineInfo::FileNew, ""},
    };
    for (const auto& c : cases) {
        const DrelCommandLine parsed = ParseDrelCommandLine(c.words);
        const std::string label = Joined(c.words);
        EXPECT_EQ(parsed.error, "") << label;
        ExpectSame(parsed.port, c.port, label);
        EXPECT_EQ(parsed.shell.m_nShellCommand, c.shell) << label;
        EXPECT_EQ(parsed.shell.m_strFileName, c.file) << label;
    }
}

TEST(DrelCommandLineTest, SwitchesTurnOnWhatTheyNameAndLeaveTheRestAlone) {
    const struct {
        Words words;
        bool reconnect;
        bool listPorts;
        bool port;
        bool help = false;
        bool version = false;
    } cases[] = {
        {{}, false, false, false},
        {{"--reconnect"}, true, false, false},
        {{"--port", "COM2", "--reconnect"}, true, false, true},
        {{"--reconnect", "--port", "COM2", "--baud", "9600"}, true, false, true},
        {{"--list-ports"}, false, true, false},
        {{"--help"}, false, false, false, true, false},
        {{"--version"}, false, false, false, false, true},
        {{"--port", "COM2", "--help"}, false, false, true, true, false},
    };
    for (const auto& c : cases) {
        const DrelCommandLine parsed = ParseDrelCommandLine(c.words);
        const std::string label = Joined(c.words);
        EXPECT_EQ(parsed.error, "") << label;
        EXPECT_EQ(parsed.reconnect, c.reconnect) << label;
        EXPECT_EQ(parsed.listPorts, c.listPorts) << label;
        EXPECT_EQ(parsed.port.has_value(), c.port) << label;
        EXPECT_EQ(parsed.help, c.help) << label;
        EXPECT_EQ(parsed.version, c.version) << label;
        EXPECT_EQ(parsed.shell.m_nShellCommand, CCommandLineInfo::FileNew) << label;
    }
}

TEST(DrelCommandLineTest, EveryMistakeGetsOneLineThatNamesIt) {
    const std::string unknown =
        "'; the options are --port, --baud, --data-bits, --parity, "
        "--stop-bits, --flow, --log, --log-format, --reconnect, --list-ports, --help and "
        "--version";
    const std::string baud = "drel: --baud takes a whole number from 1 to 2147483647, not '";
    const struct {
        Words words;
        std::string error;
    } cases[] = {
        // Unknown options, also those of later versions and other spellings.
        {{"--reconnects"}, "drel: unknown option '--reconnects" + unknown},
        {{"--port", "COM2", "--list"}, "drel: unknown option '--list" + unknown},
        {{"--Port", "COM2"}, "drel: unknown option '--Port" + unknown},
        {{"--speed=9600"}, "drel: unknown option '--speed" + unknown},
        {{"---port", "COM2"}, "drel: unknown option '---port" + unknown},
        // Missing values.
        {{"--port"}, "drel: --port needs a value (a port name)"},
        {{"--port="}, "drel: --port needs a value (a port name)"},
        {{"--port", ""}, "drel: --port needs a value (a port name)"},
        {{"--port", "--baud", "9600"}, "drel: --port needs a value (a port name)"},
        {{"--port", "COM2", "--parity"}, "drel: --parity needs a value (none, odd or even)"},
        // Options given twice, in either spelling.
        {{"--port", "COM1", "--port", "COM2"}, "drel: --port is given twice"},
        {{"--port", "COM1", "--baud=9600", "--baud", "9600"}, "drel: --baud is given twice"},
        {{"--reconnect", "--port", "COM1", "--reconnect"}, "drel: --reconnect is given twice"},
        // A log goes with a port, a log format with a log.
        {{"--log", "board.log"}, "drel: --log sets up the port that --port opens; give --port too"},
        {{"--port", "COM2", "--log-format", "iso"},
         "drel: --log-format says how --log writes; give --log too"},
        {{"--port", "COM2", "--log", "b.log", "--log-format", "csv"},
         "drel: --log-format takes raw, iso, elapsed or delta, not 'csv'"},
        {{"--port", "COM2", "--log"}, "drel: --log needs a value (a file name)"},
        // Switches take no value.
        {{"--reconnect=yes"}, "drel: --reconnect takes no value"},
        {{"--list-ports="}, "drel: --list-ports takes no value"},
        // Values an option does not take.
        {{"--port", "COM2", "--baud", "0"}, baud + "0'"},
        {{"--port", "COM2", "--baud", "-9600"}, baud + "-9600'"},
        {{"--port", "COM2", "--baud", "+9600"}, baud + "+9600'"},
        {{"--port", "COM2", "--baud", "9600 baud"}, baud + "9600 baud'"},
        {{"--port", "COM2", "--baud", " 9600"}, baud + " 9600'"},
        {{"--port", "COM2", "--baud", "96.00"}, baud + "96.00'"},
        {{"--port", "COM2", "--baud", "fast"}, baud + "fast'"},
        {{"--port", "COM2", "--baud", "2147483648"}, baud + "2147483648'"},
        {{"--port", "COM2", "--baud", "4294977296"}, baud + "4294977296'"},
        {{"--port", "COM2", "--data-bits", "6"}, "drel: --data-bits takes 7 or 8, not '6'"},
        {{"--port", "COM2", "--data-bits=8bit"}, "drel: --data-bits takes 7 or 8, not '8bit'"},
        {{"--port", "COM2", "--parity", "x"}, "drel: --parity takes none, odd or even, not 'x'"},
        {{"--port", "COM2", "--parity", "mark"},
         "drel: --parity takes none, odd or even, not 'mark'"},
        {{"--port", "COM2", "--stop-bits", "1.5"}, "drel: --stop-bits takes 1 or 2, not '1.5'"},
        {{"--port", "COM2", "--stop-bits", "0"}, "drel: --stop-bits takes 1 or 2, not '0'"},
        {{"--port", "COM2", "--flow", "hardware"},
         "drel: --flow takes none, rtscts or xonxoff, not 'hardware'"},
        // Line settings without a port to set up.
        {{"--baud", "9600"}, "drel: --baud sets up the port that --port opens; give --port too"},
        {{"--flow", "rtscts", "--parity", "odd", "log.txt"},
         "drel: --flow sets up the port that --port opens; give --port too"},
        // A port and a file, or printing, at once.
        {{"--port", "COM2", "log.txt"},
         "drel: --port opens a port at start-up and cannot open the file 'log.txt' too"},
        {{"log.txt", "--port", "COM2"},
         "drel: --port opens a port at start-up and cannot open the file 'log.txt' too"},
        {{"--port", "COM2", "/p", "log.txt"},
         "drel: --port opens a port at start-up and cannot open the file 'log.txt' too"},
        {{"--port", "COM2", "/p"}, "drel: --port opens a port at start-up and cannot print too"},
    };
    for (const auto& c : cases) {
        const DrelCommandLine parsed = ParseDrelCommandLine(c.words);
        const std::string label = Joined(c.words);
        EXPECT_EQ(parsed.error, c.error) << label;
        EXPECT_EQ(parsed.error.find('\n'), std::string::npos) << label;
    }
}

// Before any window the options alone are read: their mistakes end the program there, while
// what goes with the file words is left for later (the windowing system may still own some).
TEST(DrelCommandLineTest, OptionsAloneAreReadBeforeTheWindows) {
    const struct {
        Words words;
        std::string error;
        bool port;
    } cases[] = {
        {{"--port", "COM2", "-platform", "offscreen"}, "", true},
        {{"--port", "COM2", "log.txt"}, "", true},
        {{"--list-ports", "-display", ":1"}, "", false},
        {{"--baud", "9600"},
         "drel: --baud sets up the port that --port opens; give --port too",
         false},
        {{"--port", "COM2", "--parity", "x"},
         "drel: --parity takes none, odd or even, not 'x'",
         false},
    };
    for (const auto& c : cases) {
        const DrelCommandLine read = ReadDrelOptions(c.words);
        const std::string label = Joined(c.words);
        EXPECT_EQ(read.error, c.error) << label;
        EXPECT_EQ(read.port.has_value(), c.port) << label;
    }
}

}  // namespace
}  // namespace drel
