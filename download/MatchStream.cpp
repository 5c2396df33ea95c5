#include "MatchStream.h"

#include <cstring>

namespace drel {

namespace {

// The longest prefix of `pattern` that ends with `byte` after `matched` pattern bytes: the
// state to go on from when `byte` breaks the partial match.
uint16_t FallBack(const char* pattern, uint16_t matched, uint8_t byte) {
    for (uint16_t k = matched; k > 0; --k) {
        // Candidate: pattern[0..k) == pattern[matched-k+1..matched) followed by `byte`.
        if (static_cast<uint8_t>(pattern[k - 1]) == byte &&
            std::memcmp(pattern, pattern + matched - k + 1, k - 1) == 0) {
            return k;
        }
    }
    return 0;
}

}  // namespace

int MatchStream(const uint8_t* chunk, int count, const char* pattern, uint16_t& state,
                size_t* matchEnd) {
    const size_t length = std::strlen(pattern);
    uint16_t matched = state;
    for (int i = 0; i < count; ++i) {
        if (matched == 0) {
            // Nothing matched yet: only the pattern's first byte can begin a match, and most
            // text holds few of them, so skip straight to the next.
            const void* next = std::memchr(chunk + i, pattern[0], static_cast<size_t>(count - i));
            if (next == nullptr) {
                break;
            }
            i = static_cast<int>(static_cast<const uint8_t*>(next) - chunk);
        }
        if (chunk[i] == static_cast<uint8_t>(pattern[matched])) {
            ++matched;
        } else {
            matched = FallBack(pattern, matched, chunk[i]);
        }
        if (matched == length) {
            state = 0;
            if (matchEnd != nullptr) {
                *matchEnd = static_cast<size_t>(i) + 1;
            }
            return 1;
        }
    }
    state = matched;
    return 0;
}

}  // namespace drel
