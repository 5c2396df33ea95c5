#include "RandomFlood.h"

namespace drel::devsim {

// SplitMix64: fast, fully defined by its seed on every platform, and every byte of its words
// takes all 256 values evenly.
std::uint64_t RandomFlood::NextWord() {
    state_ += 0x9e3779b97f4a7c15ULL;
    std::uint64_t z = state_;
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    return z ^ (z >> 31);
}

void RandomFlood::Next(std::size_t count, std::string& out) {
    const std::size_t first = out.size();
    out.resize(first + count);
    char* at = out.data() + first;
    for (std::size_t i = 0; i < count; ++i) {
        if (wordLeft_ == 0) {
            word_ = NextWord();
            wordLeft_ = sizeof word_;
        }
        at[i] = static_cast<char>(word_ & 0xff);
        word_ >>= 8;
        --wordLeft_;
    }
    hash_.Add(at, count);
    bytes_ += count;
}

}  // namespace drel::devsim
