#pragma once

// The watchers of a connection's received stream: the request bytes 0x01 and 0x02 while a
// download runs; otherwise ":F=" and the image name after it, "start download", and "FW>" while
// the auto-download chain is armed. Their match states live as long as the receive loop that
// owns them, so a pattern split between runs is still found.
//
// A run is looked at before it is handed to the display and acted on after: no text is on
// screen that the watchers have not seen (a prompt that the user sees before pressing "&Auto
// Down load" is never taken for the one that follows the command), and what their actions show
// ("S", write markers) still comes after the run that caused it. The receive loop thread only.

#include <cstddef>
#include <cstdint>

#include "connection/PortConnection.h"
#include "download/CaptureImageName.h"

namespace drel {

class StreamWatchers {
  public:
    // What the watchers found in one run; each pattern is reported at most once a run.
    struct Findings {
        bool downloading = false;  // only the request bytes were looked for
        bool headerRequest = false;
        bool recordRequest = false;
        size_t markerEnd = 0;  // where ":F=" ended in the run, when the capture starts there
        bool trigger = false;
        bool prompt = false;
    };

    // Feeds one run to the matchers; changes nothing outside the watchers.
    Findings Look(const PortConnection& c, const uint8_t* run, int count);

    // Acts on what Look found in the same run: signals the requests, captures the image name,
    // starts a download worker, answers the prompt. The name is captured before a worker
    // starts, so a run that ends a name and holds "start download" starts it with the whole
    // name.
    void Act(PortConnection& c, const Findings& found, const uint8_t* run, int count);

  private:
    uint16_t headerRequest_ = 0;
    uint16_t recordRequest_ = 0;
    uint16_t marker_ = 0;
    uint16_t capture_ = kCaptureIdle;
    uint16_t trigger_ = 0;
    uint16_t prompt_ = 0;
};

}  // namespace drel
