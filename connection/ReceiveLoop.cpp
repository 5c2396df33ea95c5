#include "ReceiveLoop.h"

#include <system_error>

#include "connection/PortReadWrite.h"
#include "download/AutoDownload.h"
#include "download/DownloadWorker.h"
#include "download/MatchStream.h"
#include "terminal/DisplayBytes.h"

namespace drel {

namespace {

using platform::Event;

constexpr int kChunkSize = 80;

// The states of the stream watchers, carried from chunk to chunk for the loop's whole life.
struct WatchStates {
    uint16_t headerRequest = 0;
    uint16_t recordRequest = 0;
    uint16_t marker = 0;
    uint16_t capture = kCaptureIdle;
    uint16_t trigger = 0;
    uint16_t prompt = 0;
};

// Hands one chunk, already shown, to the watchers: during a download only the request bytes
// count; otherwise the image name is captured before the trigger is looked for, so a chunk that
// ends a name and holds "start download" starts with the whole name.
void WatchChunk(PortConnection& c, WatchStates& s, const uint8_t* chunk, int count) {
    if (c.downloading != 0) {
        if (MatchStream(chunk, count, "\x01", s.headerRequest)) {
            c.headerRequest->Set();
        }
        if (MatchStream(chunk, count, "\x02", s.recordRequest)) {
            c.recordRequest->Set();
        }
        return;
    }
    size_t markerEnd = 0;
    if (s.capture == kCaptureIdle && MatchStream(chunk, count, ":F=", s.marker, &markerEnd)) {
        s.capture = kCaptureMarkerDone;
    }
    if (s.capture != kCaptureIdle) {
        CaptureImageName(chunk, count, s.capture, c.imageName, markerEnd);
    }
    if (MatchStream(chunk, count, "start download", s.trigger)) {
        StartDownloadWorker(c);
    }
    if (c.autoArmed != 0 && MatchStream(chunk, count, "FW>", s.prompt)) {
        ReactToPrompt(c);
    }
}

void ReportDeviceGone(PortConnection& c) {
    if (!c.readErrorReported.exchange(true)) {
        c.ui.MessageBox(c.portName + " port read error occured");
    }
}

// Reads and shows chunks until the input queue is empty or the connection closes. Returns false
// when the device has gone away: a read failed twice in a row.
bool DrainInput(PortConnection& c, WatchStates& states, bool& lastReadFailed) {
    uint8_t chunk[kChunkSize];
    while (c.connected != 0) {
        bool failed = false;
        const int count = ReadPort(c, chunk, kChunkSize, &failed);
        if (failed && lastReadFailed) {
            return false;
        }
        lastReadFailed = failed;
        if (count == 0) {
            break;
        }
        DisplayBytes(c.outputView, chunk, count);
        WatchChunk(c, states, chunk, count);
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
    bool lastReadFailed = false;
    while (c.connected != 0) {
        uint32_t events = 0;
        if (!c.port->WaitCommEvent(events)) {
            ReportDeviceGone(c);
            break;
        }
        if ((events & platform::EV_RXCHAR) != 0 && !DrainInput(c, states, lastReadFailed)) {
            ReportDeviceGone(c);
            break;
        }
    }
    // The worker waits on the request events: they go only once it has ended.
    StopDownloadWorker(c);
    c.headerRequest.reset();
    c.recordRequest.reset();
    return 1;
}

bool StartReceiveLoop(PortConnection& c) {
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
    c.port->SetCommMask(platform::EV_BREAK);
    c.ui.WaitServingRequests(*c.receiveLoopEnded);
    c.receiveLoop.join();
    c.receiveLoopEnded.reset();
}

}  // namespace drel
