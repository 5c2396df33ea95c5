#include "OutputChunker.h"

#include <algorithm>

namespace drel::devsim {

OutputChunker::OutputChunker(std::size_t maxChunk, std::uint32_t seed)
    : generator_(seed), sizes_(1, std::max<std::size_t>(maxChunk, 1)), next_(sizes_(generator_)) {}

std::size_t OutputChunker::Allowance(Clock::time_point now) const {
    return now >= readyAt_ ? next_ : 0;
}

void OutputChunker::Wrote(std::size_t bytes, Clock::time_point now) {
    if (bytes == 0) {
        return;
    }
    next_ = sizes_(generator_);
    readyAt_ = now + kGap;
}

}  // namespace drel::devsim
