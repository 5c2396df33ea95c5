// The stamper of the text logs on exact times: where lines end, what each line's stamp says, and
// that every other byte stays as it came.

#include <gtest/gtest.h>

#include <time.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "connection/LogFormat.h"

using namespace drel;

namespace {

// The log begins at 08:30:00.000 local time on 2026-12-09; `ms` later on both clocks.
LogTime At(int ms) {
    tm local{};
    local.tm_year = 2026 - 1900;
    local.tm_mon = 11;
    local.tm_mday = 9;
    local.tm_hour = 8;
    local.tm_min = 30;
    local.tm_isdst = -1;
    const auto wall = std::chrono::system_clock::from_time_t(mktime(&local));
    const std::chrono::milliseconds after(ms);
    return {std::chrono::steady_clock::time_point(std::chrono::hours(1000)) + after, wall + after};
}

// Bytes that came at `ms`, or, with `mark` set, a mark added at `ms`.
struct Step {
    std::string bytes;
    int ms = 0;
    const char* mark = nullptr;
};

std::string Stamp(LogFormat format, const std::vector<Step>& steps) {
    LogStamper stamper(format, At(0));
    std::string out;
    for (const Step& step : steps) {
        if (step.mark != nullptr) {
            stamper.Mark(step.mark, At(step.ms), out);
        } else {
            stamper.Take(reinterpret_cast<const uint8_t*>(step.bytes.data()), step.bytes.size(),
                         At(step.ms), out);
        }
    }
    return out;
}

const std::string kOddBytes("A\0\xff\x1b[0m\x7f", 8);

}  // namespace

TEST(LogFormatTest, NamesAreExact) {
    const struct {
        const char* name;
        std::optional<LogFormat> format;
    } cases[] = {
        {"raw", LogFormat::Raw},     {"iso", LogFormat::Iso},  {"elapsed", LogFormat::Elapsed},
        {"delta", LogFormat::Delta}, {"", std::nullopt},       {"RAW", std::nullopt},
        {"Iso", std::nullopt},       {"delta ", std::nullopt}, {"text", std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ParseLogFormat(c.name), c.format) << '"' << c.name << '"';
        if (c.format) {
            EXPECT_STREQ(LogFormatName(*c.format), c.name);
        }
    }
}

TEST(LogFormatTest, LinesAndStamps) {
    const struct {
        const char* what;
        LogFormat format;
        std::vector<Step> steps;
        std::string expected;
    } cases[] = {
        {"raw keeps every byte and adds none",
         LogFormat::Raw,
         {{"A\r\n", 0}, {kOddBytes, 5}, {"\r", 9}, {"\n\n", 10}, {"", 11, "[COM2 disconnected]"}},
         "A\r\n" + kOddBytes + "\r\n\n"},
        {"elapsed counts from the log's start",
         LogFormat::Elapsed,
         {{"A\n", 0}, {"B\n", 250}, {"C\n", 1250}},
         "[+0.000] A\n[+0.250] B\n[+1.250] C\n"},
        {"delta counts from the line before",
         LogFormat::Delta,
         {{"A\n", 0}, {"B\n", 250}, {"C\n", 1250}},
         "[+0.000] A\n[+0.250] B\n[+1.000] C\n"},
        {"delta's first line counts from the log's start",
         LogFormat::Delta,
         {{"A\n", 500}, {"B\n", 12345}},
         "[+0.500] A\n[+11.845] B\n"},
        {"iso is the local time with milliseconds",
         LogFormat::Iso,
         {{"A\r\n", 123}, {"B\r\n", 1999}, {"C\r\n", 3600000}},
         "[2026-12-09T08:30:00.123] A\n[2026-12-09T08:30:01.999] B\n"
         "[2026-12-09T09:30:00.000] C\n"},
        {"CR, LF and CR LF each end one line",
         LogFormat::Elapsed,
         {{"A\rB\nC\r\nD", 7}},
         "[+0.007] A\n[+0.007] B\n[+0.007] C\n[+0.007] D"},
        {"CR LF split across reads ends one line",
         LogFormat::Elapsed,
         {{"A\r", 0}, {"\nB", 10}, {"\r", 20}, {"\n", 30}},
         "[+0.000] A\n[+0.010] B\n"},
        {"LF CR ends two lines",
         LogFormat::Elapsed,
         {{"A\n\rB", 0}},
         "[+0.000] A\n[+0.000] \n[+0.000] B"},
        {"empty lines are stamped too",
         LogFormat::Elapsed,
         {{"\n\n", 1}, {"\r\n\r\n", 2}, {"\r\r", 3}},
         "[+0.001] \n[+0.001] \n[+0.002] \n[+0.002] \n[+0.003] \n[+0.003] \n"},
        {"NUL, 0xFF and control bytes are kept",
         LogFormat::Delta,
         {{kOddBytes + "\n", 40}},
         "[+0.040] " + kOddBytes + "\n"},
        {"a line is stamped when its first byte came",
         LogFormat::Elapsed,
         {{"AB", 100}, {"C\nD", 300}, {"E\n", 900}},
         "[+0.100] ABC\n[+0.300] DE\n"},
        {"a mark ends the line under way",
         LogFormat::Elapsed,
         {{"abc", 0},
          {"", 100, "[COM2 disconnected]"},
          {"", 200, "[COM2 reconnected]"},
          {"def\n", 300}},
         "[+0.000] abc\n[+0.100] [COM2 disconnected]\n[+0.200] [COM2 reconnected]\n"
         "[+0.300] def\n"},
        {"a mark at a line's start adds no empty line",
         LogFormat::Delta,
         {{"abc\r\n", 0}, {"", 100, "[COM2 disconnected]"}, {"x\n", 350}},
         "[+0.000] abc\n[+0.100] [COM2 disconnected]\n[+0.250] x\n"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Stamp(c.format, c.steps), c.expected) << c.what;
    }
}

// A read cut anywhere gives the same log as the read whole, as long as each piece came at the
// same time.
TEST(LogFormatTest, CuttingAReadChangesNothing) {
    const std::string read = "ab\r\n\r\rcd\n\n" + kOddBytes + "\r\nef\r";
    for (LogFormat format : {LogFormat::Raw, LogFormat::Iso, LogFormat::Elapsed}) {
        const std::string whole = Stamp(format, {{read, 42}});
        for (size_t cut = 0; cut <= read.size(); ++cut) {
            EXPECT_EQ(Stamp(format, {{read.substr(0, cut), 42}, {read.substr(cut), 42}}), whole)
                << LogFormatName(format) << " cut at " << cut;
        }
    }
}
