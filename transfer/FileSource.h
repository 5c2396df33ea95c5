#pragma once

// Where a sender takes the file's bytes from. The sender keeps no file of its own: the caller
// reads the file (or holds it in memory) and the sender asks for each block as it builds it.

#include <cstdint>
#include <span>

namespace drel::transfer {

class FileSource {
  public:
    virtual ~FileSource() = default;

    // Fills all of `into` with the file's bytes from `offset` on. Returns false when they could
    // not be read (a read error, or the file shrank below `offset + into.size()`); `into` is then
    // unspecified. Called on the thread that drives the sender.
    virtual bool ReadAt(uint64_t offset, std::span<uint8_t> into) = 0;
};

// A file already in memory. The bytes must outlive the source.
class SpanSource : public FileSource {
  public:
    explicit SpanSource(std::span<const uint8_t> bytes) : bytes_(bytes) {}

    // Copies the bytes asked for; false when they reach past the end. Any thread.
    bool ReadAt(uint64_t offset, std::span<uint8_t> into) override;

  private:
    std::span<const uint8_t> bytes_;
};

}  // namespace drel::transfer
