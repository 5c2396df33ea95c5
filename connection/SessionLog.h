#pragma once

// A session log: what a connection receives, written to a file by a thread of the log's own.
//
// The receive loop hands each read to Append, which stamps it (LogFormat.h) into a bounded
// buffer and returns; the writer thread lets a few milliseconds of reads gather, takes the whole
// buffer at once, writes it with write(2) and syncs the file to the disk at least once a second
// while new bytes come, and at the end.
// In normal running the loop never waits on the disk. When the disk falls behind and the buffer
// is full, Append waits for room: the loop then holds back its reading, and the port's own queue
// and flow control keep the bytes, so none is dropped. A write that fails stops the log for
// good: the failure is reported once, what was written stays in the file, and from then on
// Append drops what it is handed at once.

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

#include "connection/LogFormat.h"
#include "connection/UserInterface.h"
#include "platform/Event.h"

namespace drel {

class SessionLog {
  public:
    // Called once, on the writer thread, with "PATH: the log stopped: REASON" when a write
    // fails. It may wait (a message box): Append no longer waits for the writer by then.
    using FailureReport = std::function<void(const std::string& text)>;

    struct Options {
        // What Append may hold before it waits for the writer; a read or a mark can go beyond it
        // once.
        size_t bufferBytes = 1 << 20;
        // The longest time new bytes stay written but not synced to the disk.
        std::chrono::milliseconds syncEvery{1000};
    };

    SessionLog(LogFormat format, FailureReport onFailure, Options options);
    SessionLog(LogFormat format, FailureReport onFailure)
        : SessionLog(format, std::move(onFailure), Options{}) {}
    SessionLog(const SessionLog&) = delete;
    SessionLog& operator=(const SessionLog&) = delete;
    // Stops the log (Stop) if it still runs.
    ~SessionLog();

    // Opens `path` for appending, creating it when it is not there, and starts the writer; the
    // log begins at `began`. Returns "" or, having started nothing, "PATH: the log cannot be
    // opened: REASON". Once per log. Any one thread.
    std::string Open(const std::string& path, const LogTime& began = LogTime::Now());

    // Stamps `count` bytes that arrived at `arrival` into the buffer and returns; waits while the
    // buffer is full until the writer has made room, the log has failed or Stop has begun. Drops
    // the bytes when the log is not running. The receive loop thread.
    void Append(const uint8_t* bytes, size_t count, const LogTime& arrival);

    // Adds `text` as a line of its own in the text formats (nothing in `raw`), as Append would.
    // The receive loop thread.
    void Mark(std::string_view text, const LogTime& at);

    // Ends the log: an Append that waits returns, what the buffer holds is written (unless a
    // write failed), the file is synced and closed and the writer joined. It waits for the disk
    // to take what was buffered and no longer. `servingUi`, when given, carries out the failure
    // report's message box meanwhile (UserInterface::WaitServingRequests). Does nothing when the
    // log never started or has been stopped. Any thread but the writer's.
    void Stop(UserInterface* servingUi = nullptr);

    // Whether a write has failed. Any thread.
    bool Failed() const;

    // How many times Append has waited for the writer to make room. Any thread.
    size_t TimesHeldBack() const;

    LogFormat Format() const { return format_; }
    const std::string& Path() const { return path_; }  // as given to Open

  private:
    // What the writer thread keeps from one round to the next.
    struct Writing {
        std::string taken;  // the bytes taken from the buffer, under way to the file
        bool unsynced;      // written since the last sync
        std::chrono::steady_clock::time_point lastSync;
        int error;  // errno of the failed write, sync or close; 0 while none failed
    };

    void Run();
    bool WriterRound(std::unique_lock<std::mutex>& lock, Writing& writing);
    bool WaitForRoom(std::unique_lock<std::mutex>& lock);
    void NotifyWriter(size_t before);
    bool WriteAll(const std::string& bytes, int& error) const;
    void Fail(int error);

    const LogFormat format_;
    const FailureReport onFailure_;
    const Options options_;
    std::string path_;  // set by Open, before the writer starts
    int fd_ = -1;       // the writer's from Open until it ends

    mutable std::mutex mutex_;
    std::condition_variable filled_;  // the buffer got bytes, or the stop began: to the writer
    std::condition_variable room_;    // the buffer was taken, the log failed or stopped: to Append
    std::optional<LogStamper> stamper_;  // under mutex_; made by Open
    std::string buffer_;                 // under mutex_; stamped bytes the writer has not taken
    bool running_ = false;               // under mutex_; from Open until the stop or a failure
    bool stopping_ = false;              // under mutex_
    bool failed_ = false;                // under mutex_
    size_t timesHeldBack_ = 0;           // under mutex_
    platform::Event ended_{platform::Event::ResetMode::Manual};  // set as the writer ends
    std::mutex stopLock_;  // held for the whole of one Open or Stop
    bool opened_ = false;  // under stopLock_
    std::thread writer_;
};

}  // namespace drel
