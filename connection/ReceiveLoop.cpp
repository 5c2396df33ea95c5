#include "ReceiveLoop.h"

#include <algorithm>
#include <chrono>
#include <system_error>

#include "connection/ConnectionDisplay.h"
#include "connection/ConnectionLog.h"
#include "connection/FileTransfer.h"
#include "connection/InputRate.h"
#include "connection/PortReadWrite.h"
#include "connection/Reconnect.h"
#include "connection/StreamWatchers.h"
#include "connection/TransferEchoFilter.h"
#include "download/DownloadWorker.h"

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
// download or a file transfer runs or a download is about to, whose requests and answers are
// acted on at once, and never during a flood, which the port could not hold for that long.
constexpr int kTrickle = 1024;
constexpr uint32_t kGatherMs = 16;

// Once the device has gone away: waits for its return when the user wants that, or else tells
// the user (once) and the observer, unless the close itself made the wait fail, and ends the
// loop. True when the loop goes on with the device returned.
bool GoOnAfterDeviceLoss(PortConnection& c) {
    if (ReconnectWanted(c)) {
        return AwaitDeviceReturn(c);
    }
    if (!c.readErrorReported.exchange(true)) {
        c.ui.MessageBox(c.portName + " port read error occured");
    }
    if (DownloadObserver* observer = c.downloadObserver.load(); observer && c.connected != 0) {
        observer->DeviceLost();
    }
    return false;
}

// What the port has to tell the user (a setting a network server did not take), each once.
void ShowPortNotices(PortConnection& c) {
    for (const std::string& notice : c.port->TakeNotices()) {
        ShowMark(c, notice, true);
    }
}

// What one wake of the loop took from the port.
struct Drained {
    int bytes = 0;
    bool workerStarted = false;  // the device is about to ask for its image
};

// Shows and watches what one read took, run by run.
void HandRuns(PortConnection& c, StreamWatchers& watchers, const uint8_t* bytes, int count,
              Drained& drained) {
    for (int at = 0; at < count; at += kRunSize) {
        const uint8_t* run = bytes + at;
        const int length = std::min(kRunSize, count - at);
        const StreamWatchers::Findings found = watchers.Look(c, run, length);
        DisplayBytes(c, run, length);
        watchers.Act(c, found, run, length);
        drained.workerStarted = drained.workerStarted || found.trigger;
    }
}

// While a file transfer runs, what the receiver sends goes to the transfer, and the terminal shows
// it without the protocol's own bytes.
void HandToTransfer(PortConnection& c, TransferEchoFilter& echo, uint8_t* bytes, int count) {
    c.transferInbox.Put(bytes, static_cast<size_t>(count));
    DisplayBytes(c, bytes, echo.Filter(bytes, count, true));
}

// Reads, shows and watches until the input queue is empty or the connection closes. Returns
// false when the device has gone away: a read failed twice in a row.
bool DrainInput(PortConnection& c, StreamWatchers& watchers, TransferEchoFilter& echo,
                bool& lastReadFailed, Drained& drained) {
    uint8_t buffer[kReadSize];
    while (c.connected != 0) {
        bool failed = false;
        const int count = ReadPort(c, buffer, kReadSize, &failed);
        if (failed && lastReadFailed) {
            return false;
        }
        lastReadFailed = failed;
        drained.bytes += count;
        LogReceived(c, buffer, count);
        c.received.Append(buffer, static_cast<size_t>(std::max(count, 0)));
        if (ReceiveTap* tap = c.receiveTap.load(); tap != nullptr && count > 0) {
            tap->Received(buffer, static_cast<size_t>(count));
        }
        if (c.transferring != 0 && count > 0) {
            HandToTransfer(c, echo, buffer, count);
        } else {
            const int shown = echo.OwesBackspaces() ? echo.Filter(buffer, count, false) : count;
            HandRuns(c, watchers, buffer, shown, drained);
        }
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
    StreamWatchers watchers;
    TransferEchoFilter echo;
    InputRate rate(kTrickle, std::chrono::milliseconds(kGatherMs));
    bool lastReadFailed = false;
    while (c.connected != 0) {
        uint32_t events = 0;
        if (!c.port->WaitCommEvent(events)) {
            if (!GoOnAfterDeviceLoss(c)) {
                break;
            }
            lastReadFailed = false;
            continue;
        }
        ShowPortNotices(c);
        if ((events & platform::EV_RXCHAR) == 0) {
            continue;
        }
        Drained drained;
        if (!DrainInput(c, watchers, echo, lastReadFailed, drained)) {
            if (!GoOnAfterDeviceLoss(c)) {
                break;
            }
            lastReadFailed = false;
            continue;
        }
        rate.Took(drained.bytes, InputRate::Clock::now());
        const bool answerAtOnce =
            c.downloading != 0 || c.transferring != 0 || drained.workerStarted;
        if (rate.Trickling() && !answerAtOnce) {
            c.receiveLoopStopping.Wait(kGatherMs);
        }
    }
    // The worker waits on the request events: they go only once it has ended.
    StopDownloadWorker(c);
    StopFileTransfer(c);
    c.headerRequest.reset();
    c.recordRequest.reset();
    return 1;
}

bool StartReceiveLoop(PortConnection& c) {
    c.receiveLoopStopping.Reset();
    c.stopSignal.Drain();
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
    c.stopSignal.Raise();
    c.port->SetCommMask(platform::EV_BREAK);
    c.ui.WaitServingRequests(*c.receiveLoopEnded);
    c.receiveLoop.join();
    c.receiveLoopEnded.reset();
}

}  // namespace drel
