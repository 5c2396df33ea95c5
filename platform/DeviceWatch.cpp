#include "DeviceWatch.h"

#include <poll.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>

namespace drel::platform {

namespace {

constexpr uint32_t kChanges =
    IN_CREATE | IN_MOVED_TO | IN_DELETE | IN_MOVED_FROM | IN_ATTRIB | IN_DELETE_SELF;

}  // namespace

DeviceWatch::DeviceWatch() : fd_(inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {}

DeviceWatch::~DeviceWatch() {
    if (fd_ >= 0) {
        close(fd_);
    }
}

bool DeviceWatch::Watch(const std::string& folder) {
    return fd_ >= 0 && inotify_add_watch(fd_, folder.c_str(), kChanges) >= 0;
}

DeviceWatch::Woke DeviceWatch::Wait(int stopFd, int timeoutMs) {
    pollfd fds[2] = {{stopFd, POLLIN, 0}, {fd_, POLLIN, 0}};
    int ready = 0;
    do {
        ready = poll(fds, 2, timeoutMs);
    } while (ready < 0 && errno == EINTR);
    if ((fds[0].revents & POLLIN) != 0) {
        return Woke::Stopped;
    }
    if (ready <= 0) {
        return Woke::TimedOut;
    }
    Drain();
    return Woke::Changed;
}

void DeviceWatch::Drain() {
    alignas(inotify_event) char buffer[4096];
    while (read(fd_, buffer, sizeof buffer) > 0) {
    }
}

std::vector<std::string> FoldersWhereDeviceReturns(const std::string& devicePath,
                                                   const std::vector<std::string>& linkFolders) {
    std::vector<std::string> candidates = {"/dev"};
    candidates.push_back(std::filesystem::path(devicePath).parent_path().string());
    candidates.insert(candidates.end(), linkFolders.begin(), linkFolders.end());
    std::vector<std::string> folders;
    std::error_code error;
    for (const std::string& folder : candidates) {
        if (!folder.empty() && std::filesystem::is_directory(folder, error) &&
            std::find(folders.begin(), folders.end(), folder) == folders.end()) {
            folders.push_back(folder);
        }
    }
    return folders;
}

}  // namespace drel::platform
