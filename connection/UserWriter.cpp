#include "UserWriter.h"

#include <system_error>

#include "connection/PortConnection.h"
#include "connection/PortReadWrite.h"

namespace drel {

namespace {

int Send(PortConnection& c, const std::string& bytes) {
    return WritePort(c, reinterpret_cast<const uint8_t*>(bytes.data()),
                     static_cast<uint32_t>(bytes.size()));
}

}  // namespace

void UserWriter::Write(std::string bytes) {
    {
        std::lock_guard lock(mutex_);
        // Checked under the lock: a close clears `connected` before its Stop takes the lock, so
        // no thread starts after that Stop.
        if (c_.connected == 0) {
            return;
        }
        if (thread_.joinable() || StartLocked()) {
            runs_.push_back(std::move(bytes));
            queued_.notify_one();
            return;
        }
    }
    Send(c_, bytes);
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
        std::string run;
        {
            std::unique_lock lock(mutex_);
            queued_.wait(lock, [this] { return stopping_ || !runs_.empty(); });
            if (stopping_) {
                return;
            }
            run = std::move(runs_.front());
            runs_.pop_front();
        }
        Send(c_, run);
    }
}

void UserWriter::Stop() {
    {
        std::lock_guard lock(mutex_);
        if (!thread_.joinable()) {
            return;
        }
        stopping_ = true;
        runs_.clear();
        queued_.notify_one();
    }
    c_.ui.WaitServingRequests(*ended_);
    thread_.join();
    std::lock_guard lock(mutex_);
    stopping_ = false;
    ended_.reset();
}

}  // namespace drel
