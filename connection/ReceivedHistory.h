#pragma once

// The bytes a connection received lately, exactly as read, for the hex view.
//
// The receive loop appends each read, before any display rule; the user-interface thread reads
// back the rows it shows. The history keeps the last kCapacity bytes: an idle port costs nothing,
// the memory grows with what arrives, up to that. Offsets count every byte received since the
// history was made, so a byte keeps its offset while newer ones push older ones out.

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

namespace drel {

class ReceivedHistory {
  public:
    static constexpr size_t kCapacity = size_t{1} << 20;

    // The offsets of the bytes kept: [begin, end); `end` is the number received so far.
    struct Range {
        uint64_t begin = 0;
        uint64_t end = 0;
    };

    explicit ReceivedHistory(size_t capacity = kCapacity) : capacity_(capacity) {}

    // Adds `count` bytes received now, pushing the oldest out once the history is full.
    // Never fails. The receive loop thread (one writer).
    void Append(const uint8_t* bytes, size_t count);

    // The offsets kept now. Any thread.
    Range Kept() const;

    // Copies into `out` (replacing what it held) the kept bytes from offset `from` on, at most
    // `count` of them. Returns the offset of out[0]: `from`, or the oldest kept offset when
    // `from` has been pushed out already; `out` is empty when `from` is at or past the end.
    // Any thread.
    uint64_t Read(uint64_t from, size_t count, std::vector<uint8_t>& out) const;

  private:
    const size_t capacity_;
    mutable std::mutex mutex_;
    std::vector<uint8_t> ring_;  // offset o at ring_[o % capacity_]; grows up to capacity_
    uint64_t total_ = 0;         // bytes appended
};

}  // namespace drel
