#include "LrzszReceiver.h"

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <iterator>

namespace drel::test {

namespace fs = std::filesystem;

ReceiverFolder::ReceiverFolder() {
    std::string pattern = (fs::temp_directory_path() / "drel-xfer-XXXXXX").string();
    if (mkdtemp(pattern.data()) != nullptr) {
        root_ = pattern;
        fs::create_directory(root_ / "in");
    }
}

ReceiverFolder::~ReceiverFolder() {
    std::error_code ignored;
    fs::remove_all(root_, ignored);
}

std::string ReceiverFolder::LogTail() const {
    const std::vector<uint8_t> log = ReadWholeFile(Log());
    const size_t keep = std::min<size_t>(log.size(), 400);
    return std::string(log.end() - static_cast<std::ptrdiff_t>(keep), log.end());
}

pid_t StartReceiver(const std::vector<std::string>& argv, const std::string& slave,
                    const ReceiverFolder& folder) {
    std::vector<char*> args;
    for (const auto& arg : argv) {
        args.push_back(const_cast<char*>(arg.c_str()));
    }
    args.push_back(nullptr);
    const std::string in = folder.In().string();
    const std::string log = folder.Log().string();
    const pid_t pid = fork();
    if (pid == 0) {
        // Only async-signal-safe calls: the test process has other threads.
        const int port = open(slave.c_str(), O_RDWR);
        const int err = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (port < 0 || err < 0 || chdir(in.c_str()) != 0 || dup2(port, 0) < 0 ||
            dup2(port, 1) < 0 || dup2(err, 2) < 0) {
            _exit(127);
        }
        execv(args[0], args.data());
        _exit(127);
    }
    return pid;
}

std::vector<uint8_t> ReadWholeFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace drel::test
