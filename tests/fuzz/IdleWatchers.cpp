#include "IdleWatchers.h"

#include "FuzzCheck.h"
#include "download/MatchStream.h"

namespace drel::fuzz {

IdleWatchers::IdleWatchers() : imageName_(new char[kImageNameMaxLength + 1]()) {}

size_t IdleWatchers::StreamPosition(size_t matchEnd, int count) const {
    Require(matchEnd >= 1 && matchEnd <= static_cast<size_t>(count),
            "matchEnd lies within the chunk");
    return fed_ + matchEnd;
}

ChunkReport IdleWatchers::Feed(const uint8_t* chunk, int count) {
    ChunkReport report;
    size_t end = 0;
    if (capture_ == kCaptureIdle && MatchStream(chunk, count, kMarker, marker_, &end)) {
        report.marker = StreamPosition(end, count);
        capture_ = kCaptureMarkerDone;
    }
    if (capture_ != kCaptureIdle) {
        CaptureImageName(chunk, count, capture_, imageName_.get(), end);
        report.nameEnded = capture_ == kCaptureIdle;
    }
    if (MatchStream(chunk, count, kTrigger, trigger_, &end)) {
        report.trigger = StreamPosition(end, count);
    }
    if (MatchStream(chunk, count, kPrompt, prompt_, &end)) {
        report.prompt = StreamPosition(end, count);
    }
    fed_ += static_cast<size_t>(count);
    return report;
}

}  // namespace drel::fuzz
