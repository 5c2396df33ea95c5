#include "framework/UiThread.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>
#include <QTimer>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace drel {

namespace {

// One queued call; it lives on the stack of the thread that waits for it.
struct PendingCall {
    const std::function<void()>* call;
    bool done = false;
};

// How long one wake of the user-interface thread serves calls before the event loop runs again.
constexpr std::chrono::milliseconds kServeBudget{5};

// The queue of calls waiting for the user-interface thread. `wakePosted` is true while an event
// that will serve the queue is posted and not yet handled, so a batch of calls costs one event.
class UiCallQueue {
  public:
    static UiCallQueue& Instance() {
        static UiCallQueue queue;
        return queue;
    }

    void CallAndWait(const std::function<void()>& call) {
        PendingCall pending{&call};
        std::unique_lock lock(m_mutex);
        m_calls.push_back(&pending);
        if (!m_wakePosted) {
            m_wakePosted = true;
            PostWake();
        }
        m_queued.notify_one();
        m_served.wait(lock, [&pending] { return pending.done; });
    }

    // Runs queued calls, including those queued while it runs, for at most kServeBudget; what
    // is left waits for the next wake, so that threads calling without pause (a receive loop
    // per port during a flood) cannot keep the event loop from painting and taking input.
    void ServeAll() {
        {
            std::lock_guard lock(m_mutex);
            m_wakePosted = false;
        }
        const auto end = std::chrono::steady_clock::now() + kServeBudget;
        while (ServeOne()) {
            if (std::chrono::steady_clock::now() >= end) {
                std::lock_guard lock(m_mutex);
                if (!m_calls.empty() && !m_wakePosted) {
                    m_wakePosted = true;
                    PostWake();
                }
                return;
            }
        }
    }

    // Runs the oldest queued call; false when there was none.
    bool ServeOne() {
        PendingCall* pending = nullptr;
        {
            std::lock_guard lock(m_mutex);
            if (m_calls.empty()) {
                return false;
            }
            pending = m_calls.front();
            m_calls.pop_front();
        }
        (*pending->call)();
        {
            std::lock_guard lock(m_mutex);
            pending->done = true;
        }
        m_served.notify_all();
        return true;
    }

    // Waits until a call is queued or `timeout` has passed.
    void WaitForCall(std::chrono::milliseconds timeout) {
        std::unique_lock lock(m_mutex);
        m_queued.wait_for(lock, timeout, [this] { return !m_calls.empty(); });
    }

  private:
    void PostWake() {
        QMetaObject::invokeMethod(
            QCoreApplication::instance(), [] { Instance().ServeAll(); }, Qt::QueuedConnection);
    }

    std::mutex m_mutex;
    std::condition_variable m_queued;  // a call was queued
    std::condition_variable m_served;  // a call has run
    std::deque<PendingCall*> m_calls;
    bool m_wakePosted = false;
};

}  // namespace

bool IsUiThread() {
    const QCoreApplication* app = QCoreApplication::instance();
    return app == nullptr || QThread::currentThread() == app->thread();
}

void CallOnUiThread(const std::function<void()>& call) {
    if (IsUiThread()) {
        call();
        return;
    }
    UiCallQueue::Instance().CallAndWait(call);
}

void ServeCallsUntil(const std::function<bool()>& done, std::chrono::milliseconds pollInterval) {
    const bool serve = IsUiThread();
    UiCallQueue& queue = UiCallQueue::Instance();
    while (!done()) {
        if (!serve) {
            std::this_thread::sleep_for(pollInterval);
        } else if (!queue.ServeOne()) {
            queue.WaitForCall(pollInterval);
        }
    }
}

void RunEventsUntil(const std::function<bool()>& done, std::chrono::milliseconds pollInterval) {
    if (!IsUiThread() || QCoreApplication::instance() == nullptr) {
        ServeCallsUntil(done, pollInterval);
        return;
    }
    QEventLoop loop;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (done()) {
            loop.quit();
        }
    });
    check.start(pollInterval);
    if (!done()) {
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    }
}

}  // namespace drel
