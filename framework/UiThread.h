#pragma once

// The user-interface thread and calls into it from other threads.
//
// Widgets live on the user-interface thread only. A receive loop or a download worker that must
// touch one hands the work to CallOnUiThread, which queues it and waits until the user-interface
// thread has run it (the caller is blocked, as with a sent window message). The queue is served
// by the Qt event loop, including the nested loops of modal dialogs and message boxes, through
// one posted event per batch of calls; and by ServeCallsUntil, which the user-interface thread
// uses while it waits for such a thread to end: there it runs the queued calls and nothing
// else, so no other window work can happen in the middle of a close.
//
// Calls are run one at a time in the order they were queued, so the calls of one thread keep
// their order. A call that opens a modal window lets calls queued behind it run inside that
// window's loop.

#include <chrono>
#include <functional>

namespace drel {

// True on the thread that runs the Qt application object; also true on every thread while there
// is no application object, since then there is no event loop to hand work to. Any thread.
bool IsUiThread();

// Runs `call` on the user-interface thread and returns once it has run. On the user-interface
// thread it runs at once. From another thread it is queued; the caller waits until the
// user-interface thread serves the queue (the event loop or ServeCallsUntil), so a
// user-interface thread that blocks without serving makes this wait forever. Exceptions thrown
// by `call` are not caught. Any thread.
void CallOnUiThread(const std::function<void()>& call);

// Runs queued calls, and nothing else, until `done()` returns true. `done` is checked between
// calls and at least every `pollInterval` while the queue is empty, because the thread that
// makes it true may be unable to wake this one. User-interface thread only; on any other thread
// it just polls `done`.
void ServeCallsUntil(const std::function<bool()>& done,
                     std::chrono::milliseconds pollInterval = std::chrono::milliseconds(5));

// Runs the event loop, leaving the user's input for later, until `done()` returns true, which is
// checked every `pollInterval`: windows repaint, timers fire and queued calls run, but nothing the
// user does is acted on meanwhile. User-interface thread only; on any other thread it just polls
// `done`.
void RunEventsUntil(const std::function<bool()>& done,
                    std::chrono::milliseconds pollInterval = std::chrono::milliseconds(10));

}  // namespace drel
