#pragma once

// Matches text against a pattern where '#' stands for one decimal digit, '*' for one or more,
// and every other character for itself: enough for the time stamps of a log, without
// std::regex, which GCC's flow analysis reports falsely under the sanitizer builds.

#include <cctype>
#include <string_view>

namespace drel::test {

inline bool MatchesDigitPattern(std::string_view text, std::string_view pattern) {
    if (pattern.empty()) {
        return text.empty();
    }
    const auto isDigit = [](char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; };
    if (pattern.front() == '*') {
        for (size_t n = 1; n <= text.size() && isDigit(text[n - 1]); ++n) {
            if (MatchesDigitPattern(text.substr(n), pattern.substr(1))) {
                return true;
            }
        }
        return false;
    }
    if (text.empty()) {
        return false;
    }
    const bool same =
        pattern.front() == '#' ? isDigit(text.front()) : text.front() == pattern.front();
    return same && MatchesDigitPattern(text.substr(1), pattern.substr(1));
}

}  // namespace drel::test
