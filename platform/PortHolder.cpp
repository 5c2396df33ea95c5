#include "PortHolder.h"

#include <dirent.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace drel::platform {

namespace {

std::string ReadText(const std::string& path) {
    std::ifstream in(path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

bool IsNumber(const char* name) {
    if (*name == '\0') {
        return false;
    }
    for (; *name != '\0'; ++name) {
        if (std::isdigit(static_cast<unsigned char>(*name)) == 0) {
            return false;
        }
    }
    return true;
}

// A terminal can be reached through more than one node (a by-id link's target, a copy made
// with mknod); the device number names the terminal itself.
bool SameDevice(const struct stat& a, const struct stat& b) {
    if (S_ISCHR(a.st_mode) && S_ISCHR(b.st_mode)) {
        return a.st_rdev == b.st_rdev;
    }
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

bool ProcessHasOpen(const std::string& pid, const struct stat& device) {
    const std::string fdFolder = "/proc/" + pid + "/fd";
    DIR* fds = opendir(fdFolder.c_str());
    if (fds == nullptr) {
        return false;  // gone, or another user's
    }
    bool found = false;
    while (const dirent* entry = readdir(fds)) {
        struct stat target {};
        if (IsNumber(entry->d_name) &&
            stat((fdFolder + "/" + entry->d_name).c_str(), &target) == 0 &&
            SameDevice(target, device)) {
            found = true;
            break;
        }
    }
    closedir(fds);
    return found;
}

// A process with `device` open: another process when one has it, else this one.
std::optional<pid_t> ProcessWithOpen(const struct stat& device) {
    DIR* proc = opendir("/proc");
    if (proc == nullptr) {
        return std::nullopt;
    }
    const pid_t self = getpid();
    std::optional<pid_t> found;
    while (const dirent* entry = readdir(proc)) {
        if (!IsNumber(entry->d_name) || !ProcessHasOpen(entry->d_name, device)) {
            continue;
        }
        found = static_cast<pid_t>(std::strtol(entry->d_name, nullptr, 10));
        if (*found != self) {
            break;
        }
    }
    closedir(proc);
    return found;
}

}  // namespace

std::optional<pid_t> FlockHolderIn(std::string_view procLocks, unsigned major, unsigned minor,
                                   unsigned long inode) {
    std::istringstream lines{std::string(procLocks)};
    std::string line;
    while (std::getline(lines, line)) {
        // "1: FLOCK  ADVISORY  WRITE 1234 00:19:3 0 EOF"; waiters read "1: -> FLOCK ...". A
        // shared flock (READ) keeps an exclusive one out as well.
        std::istringstream fields(line);
        std::string id, kind, advisory, type, file;
        long pid = 0;
        if (!(fields >> id >> kind >> advisory >> type >> pid >> file) || kind != "FLOCK" ||
            (type != "WRITE" && type != "READ") || pid <= 0) {
            continue;
        }
        unsigned fileMajor = 0, fileMinor = 0;
        unsigned long fileInode = 0;
        char extra = 0;
        if (std::sscanf(file.c_str(), "%x:%x:%lu%c", &fileMajor, &fileMinor, &fileInode, &extra) ==
                3 &&
            fileMajor == major && fileMinor == minor && fileInode == inode) {
            return static_cast<pid_t>(pid);
        }
    }
    return std::nullopt;
}

std::string CommandOf(pid_t pid) {
    std::string command = ReadText("/proc/" + std::to_string(pid) + "/comm");
    if (!command.empty() && command.back() == '\n') {
        command.pop_back();
    }
    return command;
}

std::optional<PortHolder> FindPortHolder(const std::string& path) {
    struct stat device {};
    if (stat(path.c_str(), &device) != 0) {
        return std::nullopt;
    }
    std::optional<pid_t> pid = FlockHolderIn(ReadText("/proc/locks"), major(device.st_dev),
                                             minor(device.st_dev), device.st_ino);
    // A lock outlives its taker when a child inherited the descriptor.
    if (!pid || access(("/proc/" + std::to_string(*pid)).c_str(), F_OK) != 0) {
        pid = ProcessWithOpen(device);
    }
    if (!pid) {
        return std::nullopt;
    }
    return PortHolder{*pid, CommandOf(*pid), *pid == getpid()};
}

}  // namespace drel::platform
