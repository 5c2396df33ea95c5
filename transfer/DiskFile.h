#pragma once

// A file on disk as a sender's source: opened once and read where each block lies, so that a
// file of any size costs one block of memory.

#include <memory>
#include <span>
#include <string>

#include "transfer/FileSource.h"
#include "transfer/TransferSender.h"

namespace drel::transfer {

class DiskFile final : public FileSource {
  public:
    // Opens `path` for reading and fills `file` with its base name, size and modification time.
    // Null, with the errno in `error`, when it does not open or is not a regular file (EISDIR
    // for a folder, EINVAL for anything else). Any thread.
    static std::unique_ptr<DiskFile> Open(const std::string& path, TransferFile& file, int& error);
    DiskFile(const DiskFile&) = delete;
    DiskFile& operator=(const DiskFile&) = delete;
    ~DiskFile() override;

    // Reads with pread; false on a read error or when the file ends early (it shrank). The
    // thread that drives the sender.
    bool ReadAt(uint64_t offset, std::span<uint8_t> into) override;

  private:
    explicit DiskFile(int fd) : fd_(fd) {}

    const int fd_;
};

}  // namespace drel::transfer
