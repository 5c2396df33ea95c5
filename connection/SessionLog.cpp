#include "SessionLog.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <system_error>

namespace drel {

namespace {

using Clock = std::chrono::steady_clock;

// Append stamps a read in pieces of at most this much, so that one read never takes the buffer
// far beyond its bound.
constexpr size_t kPiece = 4096;

// The writer lets bytes gather for up to kGatherTime, or until kGatherBytes wait, before it takes
// them: during a flood the loop reads 4 KiB at a time, and waking the writer for each read costs
// the loop more than the writes themselves. What the board sends still reaches the file within
// milliseconds.
constexpr size_t kGatherBytes = 64 * 1024;
constexpr std::chrono::milliseconds kGatherTime{10};

std::string Reason(int error) {
    return std::system_category().message(error);
}

// Syncs what was written to the disk. A file that cannot be synced (a pipe, a character device)
// has nothing to sync, which is no failure.
bool SyncToDisk(int fd, int& error) {
    while (fdatasync(fd) != 0) {
        if (errno == EINTR) {
            continue;
        }
        if (errno == EINVAL || errno == EROFS) {
            return true;
        }
        error = errno;
        return false;
    }
    return true;
}

// A log on a pipe or a socket whose reader has gone gets EPIPE from the write, instead of a
// signal that ends the program.
void BlockPipeSignal() {
    sigset_t pipe;
    sigemptyset(&pipe);
    sigaddset(&pipe, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipe, nullptr);
}

}  // namespace

SessionLog::SessionLog(LogFormat format, FailureReport onFailure, Options options)
    : format_(format), onFailure_(std::move(onFailure)), options_(options) {}

SessionLog::~SessionLog() {
    Stop();
}

std::string SessionLog::Open(const std::string& path, const LogTime& began) {
    const std::string cannot = path + ": the log cannot be opened: ";
    std::lock_guard stopping(stopLock_);
    if (opened_) {
        return cannot + "it is open already";
    }
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) {
        return cannot + Reason(errno);
    }
    opened_ = true;
    path_ = path;
    fd_ = fd;
    {
        std::lock_guard lock(mutex_);
        stamper_.emplace(format_, began);
        running_ = true;
    }
    try {
        writer_ = std::thread([this] {
            Run();
            ended_.Set();
        });
    } catch (const std::system_error& error) {
        std::lock_guard lock(mutex_);
        running_ = false;
        ::close(fd_);
        fd_ = -1;
        return cannot + error.what();
    }
    return "";
}

bool SessionLog::WaitForRoom(std::unique_lock<std::mutex>& lock) {
    if (running_ && buffer_.size() >= options_.bufferBytes) {
        ++timesHeldBack_;
        room_.wait(lock, [this] { return !running_ || buffer_.size() < options_.bufferBytes; });
    }
    return running_;
}

void SessionLog::Append(const uint8_t* bytes, size_t count, const LogTime& arrival) {
    std::unique_lock lock(mutex_);
    for (size_t at = 0; at < count;) {
        if (!WaitForRoom(lock)) {
            return;
        }
        const size_t piece = std::min(kPiece, count - at);
        const size_t before = buffer_.size();
        stamper_->Take(bytes + at, piece, arrival, buffer_);
        at += piece;
        NotifyWriter(before);
    }
}

// Wakes the writer where it waits for bytes (an empty buffer) or for enough of them to gather.
void SessionLog::NotifyWriter(size_t before) {
    if (before == 0 || (before < kGatherBytes && buffer_.size() >= kGatherBytes)) {
        filled_.notify_one();
    }
}

void SessionLog::Mark(std::string_view text, const LogTime& at) {
    if (format_ == LogFormat::Raw) {
        return;  // holds the device's bytes only, and so never waits for a mark
    }
    std::unique_lock lock(mutex_);
    if (!WaitForRoom(lock)) {
        return;
    }
    const size_t before = buffer_.size();
    stamper_->Mark(text, at, buffer_);
    NotifyWriter(before);
}

// Takes the whole buffer at a time, so Append waits only while a write of a full buffer is under
// way; syncs once `syncEvery` has passed since the last sync, whenever something was written
// since. Ends with the stop or the first failure.
void SessionLog::Run() {
    BlockPipeSignal();
    Writing writing{{}, false, Clock::now(), 0};
    std::unique_lock lock(mutex_);
    while (writing.error == 0 && WriterRound(lock, writing)) {
    }
    if (writing.error != 0) {
        // Nothing more is taken from here on: an Append that waits for room returns now.
        running_ = false;
        room_.notify_all();
    }
    lock.unlock();
    if (writing.error == 0 && writing.unsynced) {
        SyncToDisk(fd_, writing.error);
    }
    if (::close(fd_) != 0 && writing.error == 0 && errno != EINTR) {
        writing.error = errno;
    }
    if (writing.error != 0) {
        Fail(writing.error);
    }
}

// Writes what the buffer holds, once it has gathered, or waits for bytes, the stop or the time to
// sync; then syncs if it is time. False once the stop has come and the buffer is empty. `lock`
// holds mutex_, which is let go for the write and the sync.
bool SessionLog::WriterRound(std::unique_lock<std::mutex>& lock, Writing& writing) {
    const Clock::time_point syncDue = writing.lastSync + options_.syncEvery;
    if (!buffer_.empty() && buffer_.size() < kGatherBytes && !stopping_) {
        filled_.wait_until(lock, Clock::now() + kGatherTime,
                           [this] { return stopping_ || buffer_.size() >= kGatherBytes; });
    }
    if (!buffer_.empty()) {
        writing.taken.swap(buffer_);
        room_.notify_all();
        lock.unlock();
        const bool written = WriteAll(writing.taken, writing.error);
        writing.taken.clear();
        lock.lock();
        if (!written) {
            return false;
        }
        writing.unsynced = true;
    } else if (stopping_) {
        return false;
    } else if (!writing.unsynced) {
        filled_.wait(lock);
        return true;
    } else if (Clock::now() < syncDue) {
        filled_.wait_until(lock, syncDue);
        return true;
    }
    if (writing.unsynced && Clock::now() >= syncDue) {
        lock.unlock();
        const bool synced = SyncToDisk(fd_, writing.error);
        lock.lock();
        writing.unsynced = !synced;
        writing.lastSync = Clock::now();
        return synced;
    }
    return true;
}

bool SessionLog::WriteAll(const std::string& bytes, int& error) const {
    for (size_t done = 0; done < bytes.size();) {
        const ssize_t wrote = ::write(fd_, bytes.data() + done, bytes.size() - done);
        if (wrote < 0 && errno == EINTR) {
            continue;
        }
        if (wrote <= 0) {
            // A write that takes nothing would be asked again for ever.
            error = wrote < 0 ? errno : EIO;
            return false;
        }
        done += static_cast<size_t>(wrote);
    }
    return true;
}

// The log stops taking bytes before the report, which may wait for the user: an Append that
// waits for room returns at once, and later ones drop what they are handed.
void SessionLog::Fail(int error) {
    {
        std::lock_guard lock(mutex_);
        failed_ = true;
        running_ = false;
        buffer_.clear();
        buffer_.shrink_to_fit();
        room_.notify_all();
    }
    if (onFailure_) {
        onFailure_(path_ + ": the log stopped: " + Reason(error));
    }
}

void SessionLog::Stop(UserInterface* servingUi) {
    std::lock_guard stopping(stopLock_);
    {
        std::lock_guard lock(mutex_);
        if (!writer_.joinable()) {
            return;
        }
        stopping_ = true;
        running_ = false;
        filled_.notify_one();
        room_.notify_all();
    }
    if (servingUi != nullptr) {
        servingUi->WaitServingRequests(ended_);
    }
    writer_.join();
    fd_ = -1;
}

bool SessionLog::Failed() const {
    std::lock_guard lock(mutex_);
    return failed_;
}

size_t SessionLog::TimesHeldBack() const {
    std::lock_guard lock(mutex_);
    return timesHeldBack_;
}

}  // namespace drel
