#include "StreamWatchers.h"

#include "download/AutoDownload.h"
#include "download/DownloadWorker.h"
#include "download/MatchStream.h"

namespace drel {

StreamWatchers::Findings StreamWatchers::Look(const PortConnection& c, const uint8_t* run,
                                              int count) {
    Findings found;
    found.downloading = c.downloading != 0;
    if (found.downloading) {
        found.headerRequest = MatchStream(run, count, "\x01", headerRequest_) != 0;
        found.recordRequest = MatchStream(run, count, "\x02", recordRequest_) != 0;
        return found;
    }
    if (capture_ == kCaptureIdle && MatchStream(run, count, ":F=", marker_, &found.markerEnd)) {
        capture_ = kCaptureMarkerDone;
    }
    found.trigger = MatchStream(run, count, "start download", trigger_) != 0;
    found.prompt = c.autoArmed != 0 && MatchStream(run, count, "FW>", prompt_) != 0;
    return found;
}

void StreamWatchers::Act(PortConnection& c, const Findings& found, const uint8_t* run, int count) {
    if (found.headerRequest) {
        c.headerRequest->Set();
    }
    if (found.recordRequest) {
        c.recordRequest->Set();
    }
    if (!found.downloading && capture_ != kCaptureIdle) {
        CaptureImageName(run, count, capture_, c.imageName, found.markerEnd);
    }
    if (found.trigger) {
        StartDownloadWorker(c);
    }
    if (found.prompt) {
        ReactToPrompt(c);
    }
}

}  // namespace drel
