#pragma once

// The endless text a flooding device sends: numbered printable lines, "0000000042 " followed by
// 69 letters and digits and CR LF, 82 bytes each. The stream can be cut anywhere, and a running
// FNV-1a hash of everything handed out lets a receiver prove it got every byte in order. No
// I/O. One thread uses an instance.

#include <cstddef>
#include <cstdint>
#include <string>

namespace drel::devsim {

// The 64-bit FNV-1a hash of a byte stream, fed in pieces of any size.
class StreamHash {
  public:
    static constexpr std::uint64_t kOffsetBasis = 14695981039346656037ULL;
    static constexpr std::uint64_t kPrime = 1099511628211ULL;

    void Add(const char* bytes, std::size_t size) {
        for (std::size_t i = 0; i < size; ++i) {
            value_ = (value_ ^ static_cast<unsigned char>(bytes[i])) * kPrime;
        }
    }
    std::uint64_t value() const { return value_; }

  private:
    std::uint64_t value_ = kOffsetBasis;
};

class FloodSource {
  public:
    static constexpr std::size_t kLineLength = 82;

    // Appends the next `count` bytes of the stream to `out`. Never fails.
    void Next(std::size_t count, std::string& out);

    // Bytes handed out so far, and their hash.
    std::uint64_t bytes() const { return bytes_; }
    std::uint64_t hash() const { return hash_.value(); }

  private:
    void MakeLine();

    std::string line_;
    std::size_t lineOffset_ = 0;  // bytes of `line_` already handed out
    std::uint64_t lineNumber_ = 0;
    std::uint64_t bytes_ = 0;
    StreamHash hash_;
};

}  // namespace drel::devsim
