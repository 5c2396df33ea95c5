#pragma once

// Which process holds a device that would not open because it is busy.

#include <sys/types.h>

#include <optional>
#include <string>
#include <string_view>

namespace drel::platform {

struct PortHolder {
    pid_t pid = 0;
    std::string command;  // the process's command name (/proc/PID/comm), empty when unreadable
    bool isThisProcess = false;
};

// The process that holds the device `path` names (links followed): the one with the exclusive
// flock on it, as /proc/locks tells; else, for a holder that only set exclusive mode, a process
// with the device open, another process before this one. Nothing when none is found: the fds of
// another user's processes are out of sight. Any thread.
std::optional<PortHolder> FindPortHolder(const std::string& path);

// The pid that holds a flock (exclusive or shared) on inode `inode` of the file system with
// device number `major`:`minor`, as listed in `procLocks` (the text of /proc/locks). Nothing
// when none does.
// Any thread.
std::optional<pid_t> FlockHolderIn(std::string_view procLocks, unsigned major, unsigned minor,
                                   unsigned long inode);

// The command name of process `pid` (/proc/PID/comm), empty when it cannot be read. Any thread.
std::string CommandOf(pid_t pid);

}  // namespace drel::platform
