#include "transfer/DiskFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

namespace drel::transfer {

std::unique_ptr<DiskFile> DiskFile::Open(const std::string& path, TransferFile& file, int& error) {
    error = 0;
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        error = errno;
        return nullptr;
    }
    struct stat status {};
    if (fstat(fd, &status) != 0) {
        error = errno;
    } else if (!S_ISREG(status.st_mode)) {
        error = S_ISDIR(status.st_mode) ? EISDIR : EINVAL;
    }
    if (error != 0) {
        close(fd);
        return nullptr;
    }
    file.baseName = std::filesystem::path(path).filename().string();
    file.size = static_cast<uint64_t>(status.st_size);
    file.mtime = status.st_mtim.tv_sec;
    return std::unique_ptr<DiskFile>(new DiskFile(fd));
}

DiskFile::~DiskFile() {
    close(fd_);
}

bool DiskFile::ReadAt(uint64_t offset, std::span<uint8_t> into) {
    size_t done = 0;
    while (done < into.size()) {
        const ssize_t n =
            pread(fd_, into.data() + done, into.size() - done, static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

}  // namespace drel::transfer
