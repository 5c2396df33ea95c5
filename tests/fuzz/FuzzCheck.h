#pragma once

// How a fuzz target reports a broken rule: the rule's text on stderr, then abort(), which
// libFuzzer takes for a crash and answers by saving the input.

#include <cstdio>
#include <cstdlib>

namespace drel::fuzz {

// Stops the run with `rule` when `holds` is false. Any thread.
inline void Require(bool holds, const char* rule) {
    if (!holds) {
        std::fprintf(stderr, "broken rule: %s\n", rule);
        std::abort();
    }
}

}  // namespace drel::fuzz
