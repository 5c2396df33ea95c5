#pragma once

// lrzsz's receivers (rb, rx) run as child processes on a pseudo-terminal, for tests of the file
// senders against the real thing.

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <vector>

namespace drel::test {

// A folder of its own for one receiver: it writes the file into In(), its messages to Log().
class ReceiverFolder {
  public:
    ReceiverFolder();
    ReceiverFolder(const ReceiverFolder&) = delete;
    ReceiverFolder& operator=(const ReceiverFolder&) = delete;
    ~ReceiverFolder();

    std::filesystem::path In() const { return root_ / "in"; }
    std::filesystem::path Log() const { return root_ / "log"; }
    // The last few hundred bytes of the log, for failure messages.
    std::string LogTail() const;

  private:
    std::filesystem::path root_;
};

// Starts `argv` with the terminal `slave` as its standard input and output, in `folder`'s In().
// Returns its process id, or -1. Test's main thread.
pid_t StartReceiver(const std::vector<std::string>& argv, const std::string& slave,
                    const ReceiverFolder& folder);

// The bytes of the file at `path`; none when it does not open.
std::vector<uint8_t> ReadWholeFile(const std::filesystem::path& path);

}  // namespace drel::test
