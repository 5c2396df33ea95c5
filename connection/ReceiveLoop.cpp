#include "ReceiveLoop.h"

#include <algorithm>
#include <chrono>
#include <system_error>

#include "connection/ConnectionDisplay.h"
#include "connection/PortReadWrite.h"
#include "download/AutoDownload.h"
#include "download/DownloadWorker.h"
#include "download/MatchStream.h"

namespace drel {

namespace {

using platform::Event;

// A read takes what the port holds, up to this much; a flood is then drained in few calls.
constexpr int kReadSize = 4096;
// What a read took is shown and watched in runs of at most this much, as if read this way: the
// watchers report at most one match per run, and a name is captured run by run.
constexpr int kRunSize = 80;
// While bytes only trickle in (less than kTrickle in the last kGatherMs), the loop lets kGatherMs
// worth of them gather before it looks again: a USB adapter hands over what a slow line carried
// every millisecond, and sixteen such boards would otherwise wake the machine sixteen thousand
// times a second. Text then shows a few milliseconds later, well within a frame. Never while a
// download runs or is about to, whose requests are answered at once, and never during a flood,
// which the port could not hold for that long.
constexpr int kTrickle = 1024;
constexpr uint32_t kGatherMs = 16;

// Tells a trickle from a flood by what came in the last kGatherMs.
class InputRate {
  public:
    using Clock = std::chrono::steady_clock;

    void Took(int bytes, Clock::time_point now) {
        if (now - windowStart_ >= std::chrono::milliseconds(kGatherMs)) {
            trickling_ = windowBytes_ + bytes < kTrickle;
            windowStart_ = now;
            windowBytes_ = 0;
        }
        windowBytes_ += bytes;
    }
    bool Trickling() const { return trickling_ && windowBytes_ < kTrickle; }

  private:
    Clock::time_point windowStart_{};
    int windowBytes_ = 0;
    bool trickling_ = true;
};

// The states of the stream watchers, carried from chunk to chunk for the loop's whole life.
struct WatchStates {
    uint16_t headerRequest = 0;
    uint16_t recordRequest = 0;
    uint16_t marker = 0;
    uint16_t capture = kCaptureIdle;
    uint16_t trigger = 0;
    uint16_t prompt = 0;
};

// What the watchers found in one run. They look at a run before it is handed to the display
// and act on what they found after: so no text is on screen that its watchers have not seen
// (a prompt that the user sees before pressing "Auto Down load" is never taken for the one
// that follows the command), and what their actions show ("S", write markers) still comes after
// the run that caused it.
struct Findings {
    bool downloading = false;  // only the request bytes were looked for
    bool headerRequest = false;
    bool recordRequest = false;
    size_t markerEnd = 0;  // where ":F=" ended in the run, when the capture starts there
    bool trigger = false;
    bool prompt = false;
};

// Feeds one run to the matchers: during a download only the request bytes count; otherwise
// ":F=" while no name is being captured, "start download", and "FW>" while the chain is armed.
Findings LookAtRun(const PortConnection& c, WatchStates& s, const uint8_t* run, int count) {
    Findings found;
    found.downloading = c.downloading != 0;
    if (found.downloading) {
        found.headerRequest = MatchStream(run, count, "\x01", s.headerRequest) != 0;
        found.recordRequest = MatchStream(run, count, "\x02", s.recordRequest) != 0;
        return found;
    }
    if (s.capture == kCaptureIdle && MatchStream(run, count, ":F=", s.marker, &found.markerEnd)) {
        s.capture = kCaptureMarkerDone;
    }
    found.trigger = MatchStream(run, count, "start download", s.trigger) != 0;
    found.prompt = c.autoArmed != 0 && MatchStream(run, count, "FW>", s.prompt) != 0;
    return found;
}

// Acts on what LookAtRun found, once the run has been handed to the display. The image name is
// captured before the trigger starts a worker, so a run that ends a name and holds "start
// download" starts the worker with the whole name.
void ActOnRun(PortConnection& c, WatchStates& s, const Findings& found, const uint8_t* run,
              int count) {
    if (found.headerRequest) {
        c.headerRequest->Set();
    }
    if (found.recordRequest) {
        c.recordRequest->Set();
    }
    if (!found.downloading && s.capture != kCaptureIdle) {
        CaptureImageName(run, count, s.capture, c.imageName, found.markerEnd);
    }
    if (found.trigger) {
        StartDownloadWorker(c);
    }
    if (found.prompt) {
        ReactToPrompt(c);
    }
}

void ReportDeviceGone(PortConnection& c) {
    if (!c.readErrorReported.exchange(true)) {
        c.ui.MessageBox(c.portName + " port read error occured");
    }
}

// What one wake of the loop took from the port.
struct Drained {
    int bytes = 0;
    bool workerStarted = false;  // the device is about to ask for its image
};

// Shows and watches what one read took, run by run.
void HandRuns(PortConnection& c, WatchStates& states, const uint8_t* bytes, int count,
              Drained& drained) {
    for (int at = 0; at < count; at += kRunSize) {
        const uint8_t* run = bytes + at;
        const int length = std::min(kRunSize, count - at);
        const Findings found = LookAtRun(c, states, run, length);
        DisplayBytes(c, run, length);
        ActOnRun(c, states, found, run, length);
        drained.workerStarted = drained.workerStarted || found.trigger;
    }
}

// Reads, shows and watches until the input queue is empty or the connection closes. Returns
// false when the device has gone away: a read failed twice in a row.
bool DrainInput(PortConnection& c, WatchStates& states, bool& lastReadFailed, Drained& drained) {
    uint8_t buffer[kReadSize];
    while (c.connected != 0) {
        bool failed = false;
        const int count = ReadPort(c, buffer, kReadSize, &failed);
        if (failed && lastReadFailed) {
            return false;
        }
        lastReadFailed = failed;
        drained.bytes += count;
        HandRuns(c, states, buffer, count, drained);
        if (count < kReadSize) {
            // The read took all the port held: asking again would find the queue empty, and
            // what comes meanwhile ends the next wait at once.
            break;
        }
    }
    return true;
}

bool MakeRequestEvents(PortConnection& c) {
    c.headerRequest = c.service.CreateEvent(Event::ResetMode::Auto, false);
    c.recordRequest = c.service.CreateEvent(Event::ResetMode::Auto, false);
    if (c.headerRequest && c.recordRequest) {
        return true;
    }
    c.headerRequest.reset();
    c.recordRequest.reset();
    c.ui.MessageBox("Failed to create Notify event for thread!", "TTY Error!",
                    UserInterface::Icon::Warning);
    return false;
}

}  // namespace

int ReceiveLoop(PortConnection& c) {
    if (!c.port->SetCommMask(platform::EV_RXCHAR) || !MakeRequestEvents(c)) {
        return 0;
    }
    WatchStates states;
    InputRate rate;
    bool lastReadFailed = false;
    while (c.connected != 0) {
        uint32_t events = 0;
        if (!c.port->WaitCommEvent(events)) {
            ReportDeviceGone(c);
            break;
        }
        if ((events & platform::EV_RXCHAR) == 0) {
            continue;
        }
        Drained drained;
        if (!DrainInput(c, states, lastReadFailed, drained)) {
            ReportDeviceGone(c);
            break;
        }
        rate.Took(drained.bytes, InputRate::Clock::now());
        if (rate.Trickling() && c.downloading == 0 && !drained.workerStarted) {
            c.receiveLoopStopping.Wait(kGatherMs);
        }
    }
    // The worker waits on the request events: they go only once it has ended.
    StopDownloadWorker(c);
    c.headerRequest.reset();
    c.recordRequest.reset();
    return 1;
}

bool StartReceiveLoop(PortConnection& c) {
    c.receiveLoopStopping.Reset();
    c.receiveLoopEnded = c.service.CreateEvent(Event::ResetMode::Manual, false);
    if (!c.receiveLoopEnded) {
        return false;
    }
    try {
        c.receiveLoop = std::thread([&c] {
            ReceiveLoop(c);
            c.receiveLoopEnded->Set();
        });
    } catch (const std::system_error&) {
        c.receiveLoopEnded.reset();
        return false;
    }
    return true;
}

void EndReceiveLoop(PortConnection& c) {
    c.receiveLoopStopping.Set();
    c.port->SetCommMask(platform::EV_BREAK);
    c.ui.WaitServingRequests(*c.receiveLoopEnded);
    c.receiveLoop.join();
    c.receiveLoopEnded.reset();
}

}  // namespace drel
