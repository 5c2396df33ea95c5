// What drel-load prints about a load: progress and result lines, stderr lines made safe, the
// JSON strings of names from anywhere, and the --until text found across pieces.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/Console.h"
#include "cli/LoadReport.h"
#include "cli/LoadResultText.h"
#include "cli/TextWatch.h"

namespace {

using namespace drel::cli;
using drel::ProgressText;

TEST(LoadTextTest, JsonStringsAlwaysParse) {
    const struct {
        std::string text;
        std::string json;
    } cases[] = {
        {"a.bin", "\"a.bin\""},
        {"say \"hi\"\\", "\"say \\\"hi\\\"\\\\\""},
        {"tab\tnl\n\x1b", "\"tab\\u0009nl\\u000a\\u001b\""},
        {"caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x99\x82",
         "\"caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x99\x82\""},
        {"\xff\xc3", "\"\\ufffd\\ufffd\""},                        // not UTF-8; cut short
        {"\xc0\xaf", "\"\\ufffd\\ufffd\""},                        // an overlong '/'
        {"\xed\xa0\x80", "\"\\ufffd\\ufffd\\ufffd\""},             // a surrogate
        {"\xf4\x90\x80\x80", "\"\\ufffd\\ufffd\\ufffd\\ufffd\""},  // beyond U+10FFFF
    };
    for (const auto& c : cases) {
        EXPECT_EQ(JsonString(c.text), c.json) << c.text;
    }
}

TEST(LoadTextTest, ReportHoldsTheLineEveryImageAndTheStatus) {
    drel::PortChoices port;
    port.port = "COM3";
    port.baud = "921600";
    port.parity = 1;
    port.stopBits = 1;
    port.dataBits = 0;
    port.flowControl = 2;
    ImageRun loaded;
    loaded.path = "a.bin";
    loaded.size = loaded.bytesSent = 4211;
    loaded.records = 4;
    loaded.took = std::chrono::milliseconds(1500);
    loaded.result = drel::DownloadResult::Loaded;
    ImageRun never;
    never.path = "b.bin";
    EXPECT_EQ(JsonReport(port, {loaded, never}, ExitStatus::DeviceGone),
              "{\"port\":\"COM3\",\"line\":{\"baud\":921600,\"data_bits\":7,\"parity\":\"odd\","
              "\"stop_bits\":2,\"flow\":\"xonxoff\"},\"images\":[{\"path\":\"a.bin\",\"size\":4211,"
              "\"records\":4,\"bytes_sent\":4211,\"seconds\":1.500,\"result\":\"loaded\"},"
              "{\"path\":\"b.bin\",\"size\":0,\"records\":0,\"bytes_sent\":0,\"seconds\":0.000,"
              "\"result\":\"not started\"}],\"exit_status\":6}");
}

TEST(LoadTextTest, ProgressSaysShareRateAndTimeLeft) {
    EXPECT_EQ(ProgressText({"a.bin", 46080, 92160, 5.0}),
              "a.bin   50 %  46080 of 92160 bytes  9.2 kB/s  0:05 left");
    EXPECT_EQ(ProgressText({"a.bin", 0, 92160, 0.0}),
              "a.bin    0 %  0 of 92160 bytes  0.0 kB/s  --:-- left");
    EXPECT_EQ(ProgressText({"big", 1000, 10'000'000, 1.0}),
              "big    0 %  1000 of 10000000 bytes  1.0 kB/s  2:46:39 left");
    EXPECT_EQ(ProgressText({"empty", 0, 0, 1.0}),
              "empty    0 %  0 of 0 bytes  0.0 kB/s  --:-- left");
}

TEST(LoadTextTest, ResultLinesSayHowEachLoadEnded) {
    ImageRun run;
    run.path = "a.bin";
    EXPECT_EQ(ResultText(run), "a.bin: not started");
    run.result = drel::DownloadResult::NoRecordRequest;
    EXPECT_EQ(ResultText(run), "a.bin: no record request in time");
    run.result = drel::DownloadResult::Loaded;
    run.records = 2;
    run.bytesSent = 2000;
    run.took = std::chrono::seconds(2);
    EXPECT_EQ(ResultText(run), "a.bin loaded: 2 records, 2000 bytes in 2.00 s (1.0 kB/s)");
}

TEST(LoadTextTest, StderrLinesKeepToOneLineWithoutControlCharacters) {
    EXPECT_EQ(OneLine("COM9 port can not open\nno such device\n"),
              "COM9 port can not open: no such device");
    EXPECT_EQ(OneLine("name\x1b[2J\r\x07"), "name?[2J??");
}

TEST(LoadTextTest, UntilTextIsFoundWhereverThePiecesSplitIt) {
    const std::string stream = "load ok: 4 records\r\nFW>";
    for (size_t cut = 0; cut <= stream.size(); ++cut) {
        TextWatch watch("ok: 4");
        const bool first = watch.Feed(std::string_view(stream).substr(0, cut));
        const bool second = watch.Feed(std::string_view(stream).substr(cut));
        EXPECT_TRUE(first != second) << "cut at " << cut;
    }
    TextWatch prompt("FW>");
    EXPECT_FALSE(prompt.Feed("F"));
    EXPECT_FALSE(prompt.Feed("W"));
    EXPECT_FALSE(prompt.Feed("x>"));
}

}  // namespace
