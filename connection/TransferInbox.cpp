#include "connection/TransferInbox.h"

namespace drel {

void TransferInbox::Reset() {
    std::lock_guard lock(mutex_);
    bytes_.clear();
    cancelled_ = false;
    cancelAsked_ = false;
    stopped_ = false;
    portGone_ = false;
}

void TransferInbox::Put(const uint8_t* bytes, size_t count) {
    {
        std::lock_guard lock(mutex_);
        bytes_.insert(bytes_.end(), bytes, bytes + count);
    }
    changed_.notify_one();
}

void TransferInbox::Cancel() {
    {
        std::lock_guard lock(mutex_);
        cancelled_ = true;
        cancelAsked_ = true;
    }
    changed_.notify_one();
}

void TransferInbox::Stop(bool portGone) {
    {
        std::lock_guard lock(mutex_);
        stopped_ = true;
        portGone_ = portGone;
    }
    changed_.notify_one();
}

TransferInbox::Woke TransferInbox::Wait(Clock::time_point deadline, std::vector<uint8_t>& bytes) {
    std::unique_lock lock(mutex_);
    const auto woken = [this] { return stopped_ || cancelled_ || !bytes_.empty(); };
    if (deadline == Clock::time_point::max()) {
        changed_.wait(lock, woken);  // no deadline: the close's stop ends the wait
    } else {
        changed_.wait_until(lock, deadline, woken);
    }
    if (stopped_) {
        return portGone_ ? Woke::PortGone : Woke::Stopped;
    }
    if (!bytes_.empty()) {
        bytes.swap(bytes_);
        bytes_.clear();
        return Woke::Bytes;
    }
    if (cancelled_) {
        cancelled_ = false;
        return Woke::Cancelled;
    }
    return Woke::TimedOut;
}

}  // namespace drel
