// drel-load's command line: what each sound one asks for, and the one line that a mistake
// gets.

#include "cli/LoadOptions.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using drel::cli::LoadOptions;
using drel::cli::ParseLoadOptions;
using std::chrono::milliseconds;

LoadOptions Parse(std::vector<std::string> words) {
    return ParseLoadOptions(words);
}

TEST(LoadOptionsTest, DefaultsAreTheGuisAndTenSecondsForTheBoardToAnswer) {
    const LoadOptions options = Parse({"COM2", "a.bin"});
    ASSERT_EQ(options.error, "");
    EXPECT_EQ(options.port.port, "COM2");
    EXPECT_EQ(options.port.baud, "115200");
    EXPECT_EQ(options.images, std::vector<std::string>{"a.bin"});
    EXPECT_EQ(options.LoadsWanted(), 1u);
    EXPECT_EQ(options.wait, milliseconds(10000));
    EXPECT_EQ(options.timeout, milliseconds(0));
    EXPECT_EQ(options.recordTimeout, milliseconds(60000));
}

TEST(LoadOptionsTest, SoundCommandLinesSayWhatTheyAsk) {
    LoadOptions options = Parse({"--baud=921600", "--parity", "even", "--flow", "rtscts", "--log",
                                 "x.log", "--log-format", "iso", "/dev/ttyUSB0", "a.bin", "b.bin",
                                 "--until", "FW>", "--timeout", "2.5"});
    ASSERT_EQ(options.error, "");
    EXPECT_EQ(options.port.baud, "921600");
    EXPECT_EQ(options.port.parity, 2);
    EXPECT_EQ(options.port.flowControl, 1);
    EXPECT_EQ(options.port.logPath, "x.log");
    EXPECT_EQ(options.images, (std::vector<std::string>{"a.bin", "b.bin"}));
    EXPECT_EQ(options.until, "FW>");
    EXPECT_EQ(options.timeout, milliseconds(2500));
    EXPECT_EQ(options.wait, milliseconds(0)) << "--timeout alone limits the waits";

    options = Parse({"--serve", "--count", "3", "--json", "COM1"});
    ASSERT_EQ(options.error, "");
    EXPECT_TRUE(options.serve && options.json);
    EXPECT_EQ(options.LoadsWanted(), 3u);
    EXPECT_TRUE(options.images.empty());

    options = Parse({"--command", "loady 0x82000000\r", "--xmodem1k=u-boot.bin", "COM1"});
    ASSERT_EQ(options.error, "");
    EXPECT_EQ(options.sendProtocol, drel::transfer::TransferProtocol::Xmodem1k);
    EXPECT_EQ(options.sendFile, "u-boot.bin");
    EXPECT_EQ(options.command, "loady 0x82000000\r");
    EXPECT_EQ(options.port.port, "COM1");
    EXPECT_TRUE(options.images.empty());

    // A shell's quotes leave escapes as typed; they stand for their bytes.
    const struct {
        const char* typed;
        std::string bytes;
    } commands[] = {
        {R"(loady 0x82000000\r)", "loady 0x82000000\r"},
        {R"(a\tb\n\\\x03\x7e)", std::string("a\tb\n\\\x03~")},
        {R"(\x00)", std::string(1, '\0')},
    };
    for (const auto& c : commands) {
        options = Parse({"--command", c.typed, "--ymodem", "f", "COM1"});
        EXPECT_EQ(options.error, "");
        EXPECT_EQ(options.command, c.bytes) << c.typed;
    }

    options = Parse({"COM1", "--", "-image.bin"});
    EXPECT_EQ(options.images, std::vector<std::string>{"-image.bin"});
    EXPECT_TRUE(Parse({"--help"}).help);
    EXPECT_TRUE(Parse({"--version", "junk"}).version);
}

TEST(LoadOptionsTest, MistakesGetOneLine) {
    const struct {
        std::vector<std::string> words;
        std::string error;
    } cases[] = {
        {{}, "drel-load: give the port and one or two images: drel-load PORT IMAGE [SECOND_IMAGE]"},
        {{"COM1", "a", "b", "c"}, "drel-load: give the port and one or two images"},
        {{"--serve", "COM1", "a", "b", "c"}, "drel-load: --serve takes the port and at most two"},
        {{"--count", "2", "COM1", "a"}, "drel-load: --count counts the loads of --serve"},
        {{"--serve", "--count", "0", "COM1"}, "drel-load: --count takes a whole number"},
        {{"--baud", "fast", "COM1", "a"},
         "drel-load: --baud takes a whole number from 1 to 2147483647, not 'fast'"},
        {{"--parity=mark", "COM1", "a"}, "drel-load: --parity takes none, odd or even"},
        {{"--timeout", "-1", "COM1", "a"}, "drel-load: --timeout takes seconds above 0"},
        {{"--timeout", "nan", "COM1", "a"}, "drel-load: --timeout takes seconds above 0"},
        {{"--record-timeout", "1e9", "COM1", "a"}, "drel-load: --record-timeout takes seconds"},
        {{"--until", "COM1", "a"}, "drel-load: give the port and one or two images"},
        {{"COM1", "a", "--until"}, "drel-load: --until needs a value"},
        {{"--json=yes", "COM1", "a"}, "drel-load: --json takes no value"},
        {{"--quiet", "--quiet", "COM1", "a"}, "drel-load: --quiet is given twice"},
        {{"--ymodem", "f", "--xmodem", "g", "COM1"},
         "drel-load: give one of --ymodem, --xmodem1k and --xmodem"},
        {{"--ymodem", "f", "COM1", "a"}, "drel-load: give the port alone after the file"},
        {{"--xmodem1k", "f", "--serve", "COM1"}, "drel-load: --serve loads images"},
        {{"--command", "loady\r", "COM1", "a"}, "drel-load: --command is typed before a file"},
        {{"--command", R"(loady\q)", "--ymodem", "f", "COM1"}, "drel-load: --command takes a text"},
        {{"--command", R"(\x4)", "--ymodem", "f", "COM1"}, "drel-load: --command takes a text"},
        {{"--command", R"(end\)", "--ymodem", "f", "COM1"}, "drel-load: --command takes a text"},
        {{"--port", "COM1", "a"}, "drel-load: unknown option '--port'"},
        {{"--log-format", "iso", "COM1", "a"}, "drel-load: --log-format says how --log writes"},
    };
    for (const auto& c : cases) {
        const LoadOptions options = ParseLoadOptions(c.words);
        EXPECT_TRUE(options.error.starts_with(c.error))
            << testing::PrintToString(c.words) << " gave: " << options.error;
    }
}

}  // namespace
