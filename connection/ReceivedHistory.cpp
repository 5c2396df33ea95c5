#include "connection/ReceivedHistory.h"

#include <algorithm>
#include <cstring>

namespace drel {

void ReceivedHistory::Append(const uint8_t* bytes, size_t count) {
    std::lock_guard lock(mutex_);
    const uint64_t end = total_ + count;
    // Of more than the history holds, only the newest bytes stay.
    const size_t kept = std::min(count, capacity_);
    bytes += count - kept;
    uint64_t offset = end - kept;
    if (ring_.size() < capacity_) {
        ring_.resize(static_cast<size_t>(std::min<uint64_t>(capacity_, end)));
    }
    for (size_t done = 0; done < kept;) {
        const size_t at = static_cast<size_t>(offset % capacity_);
        const size_t piece = std::min(kept - done, capacity_ - at);
        std::memcpy(ring_.data() + at, bytes + done, piece);
        done += piece;
        offset += piece;
    }
    total_ = end;
}

ReceivedHistory::Range ReceivedHistory::Kept() const {
    std::lock_guard lock(mutex_);
    return {total_ - ring_.size(), total_};
}

uint64_t ReceivedHistory::Read(uint64_t from, size_t count, std::vector<uint8_t>& out) const {
    out.clear();
    std::lock_guard lock(mutex_);
    const uint64_t begin = total_ - ring_.size();
    from = std::clamp(from, begin, total_);
    const size_t wanted = static_cast<size_t>(std::min<uint64_t>(count, total_ - from));
    out.resize(wanted);
    for (size_t done = 0; done < wanted;) {
        const size_t at = static_cast<size_t>((from + done) % capacity_);
        const size_t piece = std::min(wanted - done, capacity_ - at);
        std::memcpy(out.data() + done, ring_.data() + at, piece);
        done += piece;
    }
    return from;
}

}  // namespace drel
