#pragma once

// Finding fixed texts and bytes in a received stream that arrives in chunks split anywhere.

#include <cstddef>
#include <cstdint>

namespace drel {

// Feeds one chunk to the matcher of `pattern` (zero-terminated, at least one byte). `state` is
// the count of pattern bytes matched so far, carried from chunk to chunk by the caller, 0 at the
// start. Returns 1 when the pattern is completed within this chunk, else 0. A pattern is
// reported at most once per chunk: after a completion the rest of the chunk is not looked at and
// `state` is 0. A byte that breaks a partial match may begin a new one, so "FFW>" completes
// "FW>". `matchEnd`, when given, receives the index just after the completing byte. Any thread;
// touches nothing but its arguments.
int MatchStream(const uint8_t* chunk, int count, const char* pattern, uint16_t& state,
                size_t* matchEnd = nullptr);

}  // namespace drel
