#pragma once

// Waits, without polling, for something to change where a device can come back: a node made or
// given new permissions in /dev, a link made or pointed elsewhere in /dev/serial/by-id or the
// folder of named links. The waiter then tries to open the device again; a change that does
// not bring it back costs one such try.

#include <cstdint>
#include <string>
#include <vector>

namespace drel::platform {

class DeviceWatch {
  public:
    // Makes the inotify descriptor; IsValid() tells whether that worked.
    DeviceWatch();
    DeviceWatch(const DeviceWatch&) = delete;
    DeviceWatch& operator=(const DeviceWatch&) = delete;
    ~DeviceWatch();

    bool IsValid() const { return fd_ >= 0; }

    // Watches `folder` for entries made, moved in, removed or changed in their attributes.
    // A folder that does not exist yet is left out (watch its parent too). False when it could
    // not be watched. The thread that waits.
    bool Watch(const std::string& folder);

    enum class Woke { Changed, Stopped, TimedOut };

    // Waits until something changed in a watched folder (Changed), `stopFd` became readable
    // (Stopped; it is not drained), or `timeoutMs` passed. Takes in every change reported so
    // far. The thread that watches.
    Woke Wait(int stopFd, int timeoutMs);

  private:
    void Drain();

    const int fd_;
};

// The folders to watch for the device at `devicePath` to come back: its own folder and the
// folders of the links that may name it, every one that exists, and /dev. Any thread.
std::vector<std::string> FoldersWhereDeviceReturns(const std::string& devicePath,
                                                   const std::vector<std::string>& linkFolders);

}  // namespace drel::platform
