#include "UserWriter.h"

#include <algorithm>
#include <system_error>

#include "connection/PortConnection.h"
#include "connection/PortReadWrite.h"
#include "platform/CommError.h"

namespace drel {

namespace {

// How often a break that waits for earlier bytes to go out looks again.
constexpr std::chrono::milliseconds kDrainPoll{10};

int Send(PortConnection& c, const std::string& bytes) {
    return WritePort(c, reinterpret_cast<const uint8_t*>(bytes.data()),
                     static_cast<uint32_t>(bytes.size()));
}

}  // namespace

void UserWriter::Write(std::string bytes) {
    Queue(Job{std::move(bytes), std::chrono::milliseconds{0}});
}

void UserWriter::Break(std::chrono::milliseconds duration) {
    Queue(Job{{}, std::max(duration, std::chrono::milliseconds{1})});
}

void UserWriter::Queue(Job job) {
    // Nothing of the user's may land between a file transfer's packets.
    if (c_.transferring != 0) {
        c_.ui.ShowStatus("Not sent: a file transfer is running");
        return;
    }
    {
        std::lock_guard lock(mutex_);
        // Checked under the lock: a close clears `connected` before its Stop takes the lock, so
        // no thread starts after that Stop.
        if (c_.connected == 0) {
            return;
        }
        if (thread_.joinable() || StartLocked()) {
            jobs_.push_back(std::move(job));
            queued_.notify_one();
            return;
        }
    }
    Do(job);
}

bool UserWriter::StartLocked() {
    ended_ = std::make_unique<platform::Event>(platform::Event::ResetMode::Manual);
    try {
        thread_ = std::thread([this] {
            Run();
            ended_->Set();
        });
    } catch (const std::system_error&) {
        ended_.reset();
        return false;
    }
    return true;
}

void UserWriter::Run() {
    for (;;) {
        Job job;
        {
            std::unique_lock lock(mutex_);
            queued_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
            if (stopping_) {
                return;
            }
            job = std::move(jobs_.front());
            jobs_.pop_front();
        }
        Do(job);
    }
}

void UserWriter::Do(const Job& job) {
    if (job.breakFor.count() > 0) {
        HoldBreak(job.breakFor);
    } else {
        Send(c_, job.bytes);
    }
}

// Holds the write lock throughout, so that no other writer's bytes go into the break. Both
// waits are on the condition Stop signals, so a close never waits them out.
void UserWriter::HoldBreak(std::chrono::milliseconds duration) {
    std::lock_guard write(c_.writeInFlight);
    std::unique_lock lock(mutex_);
    const auto stopped = [this] { return stopping_; };
    if (c_.connected == 0 || stopping_) {
        return;
    }
    while (!c_.port->SetCommBreak()) {
        if (platform::GetLastError() != platform::ERROR_IO_PENDING ||
            queued_.wait_for(lock, kDrainPoll, stopped)) {
            return;
        }
    }
    queued_.wait_for(lock, duration, stopped);
    c_.port->ClearCommBreak();
}

void UserWriter::Stop() {
    {
        std::lock_guard lock(mutex_);
        if (!thread_.joinable()) {
            return;
        }
        stopping_ = true;
        jobs_.clear();
        queued_.notify_one();
    }
    c_.ui.WaitServingRequests(*ended_);
    thread_.join();
    std::lock_guard lock(mutex_);
    stopping_ = false;
    ended_.reset();
}

}  // namespace drel
