#include "download/MatchStream.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using drel::MatchStream;

namespace {

// Feeds `chunks` in order and returns the result of each call.
std::vector<int> Feed(const char* pattern, const std::vector<std::string>& chunks,
                      uint16_t& state) {
    std::vector<int> results;
    for (const std::string& chunk : chunks) {
        results.push_back(MatchStream(reinterpret_cast<const uint8_t*>(chunk.data()),
                                      static_cast<int>(chunk.size()), pattern, state));
    }
    return results;
}

}  // namespace

TEST(MatchStreamTest, FindsPatternsAcrossChunkBoundaries) {
    const struct {
        const char* pattern;
        std::vector<std::string> chunks;
        std::vector<int> results;
    } cases[] = {
        {":F=", {"x:F=/img\r"}, {1}},
        {":F=", {"abc:F", "=/img"}, {0, 1}},
        {"start download", {"start down", "load"}, {0, 1}},
        {"start download", {"s", "t", "a", "r", "t ", "download"}, {0, 0, 0, 0, 0, 1}},
        {"FW>", {"F", "W", ">"}, {0, 0, 1}},
        {"FW>", {"FX>"}, {0}},
        {"FW>", {"", "FW>"}, {0, 1}},
        {"\x02", {"ab\x02", "cd"}, {1, 0}},
    };
    for (const auto& c : cases) {
        uint16_t state = 0;
        EXPECT_EQ(Feed(c.pattern, c.chunks, state), c.results) << c.pattern;
        EXPECT_EQ(state, 0) << c.pattern;
    }
}

// A byte that breaks a partial match may begin the next one, so a pattern that is present is
// always found.
TEST(MatchStreamTest, MismatchingByteMayBeginANewMatch) {
    const struct {
        const char* pattern;
        const char* stream;
    } cases[] = {
        {"FW>", "FFW>"},
        {":F=", "::F="},
        {"start download", "start start download"},
        {"start download", "sstart download"},
        {"aab", "aaab"},  // the fallback keeps the longest prefix, not only the first byte
        {"abab", "abaabab"},
    };
    for (const auto& c : cases) {
        uint16_t state = 0;
        std::string stream = c.stream;
        EXPECT_EQ(Feed(c.pattern, {stream}, state), std::vector<int>{1}) << c.stream;
        // Byte by byte the completion falls on the last byte.
        state = 0;
        std::vector<std::string> bytes;
        for (char b : stream) {
            bytes.emplace_back(1, b);
        }
        std::vector<int> expected(bytes.size(), 0);
        expected.back() = 1;
        EXPECT_EQ(Feed(c.pattern, bytes, state), expected) << c.stream;
    }
}

TEST(MatchStreamTest, ReportsAtMostOncePerChunkAndForgetsTheRest) {
    uint16_t state = 0;
    // The second occurrence, and the partial "FW" after it, are not looked at.
    EXPECT_EQ(Feed("FW>", {"FW> FW> FW", ">"}, state), (std::vector<int>{1, 0}));
    state = 0;
    EXPECT_EQ(Feed("\x02", {"\x02\x02\x02"}, state), std::vector<int>{1});
    EXPECT_EQ(state, 0);
}

TEST(MatchStreamTest, ReportsWhereTheMatchEnded) {
    uint16_t state = 0;
    size_t end = 99;
    const std::string chunk = "a=1 :F=name";
    EXPECT_EQ(MatchStream(reinterpret_cast<const uint8_t*>(chunk.data()),
                          static_cast<int>(chunk.size()), ":F=", state, &end),
              1);
    EXPECT_EQ(end, 7u);
}

TEST(MatchStreamTest, EmptyOrNegativeCountKeepsTheState) {
    uint16_t state = 2;
    EXPECT_EQ(MatchStream(nullptr, 0, "FW>", state), 0);
    EXPECT_EQ(MatchStream(nullptr, -5, "FW>", state), 0);
    EXPECT_EQ(state, 2);
}
