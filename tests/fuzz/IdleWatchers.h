#pragma once

// The receive loop's stream watchers, outside the loop, so that a fuzz target can feed one
// stream to them in different chunkings and compare what they report.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>

#include "download/CaptureImageName.h"

namespace drel::fuzz {

inline constexpr char kMarker[] = ":F=";
inline constexpr char kTrigger[] = "start download";
inline constexpr char kPrompt[] = "FW>";

// What the watchers saw in one chunk. A position is counted from the start of the stream and is
// the index just after the byte that completed the pattern.
struct ChunkReport {
    std::optional<size_t> marker;
    std::optional<size_t> trigger;
    std::optional<size_t> prompt;
    bool nameEnded = false;  // a capture went back to idle within this chunk
};

// The watchers of a connection that is not downloading and whose auto-download is armed, fed as
// the receive loop feeds them: ":F=" only while no name is being captured, then the capture,
// then "start download", then "FW>". The name buffer is a heap block of exactly the
// connection's size, so that the address checker sees a write past it.
class IdleWatchers {
  public:
    IdleWatchers();

    // Feeds the next `count` bytes of the stream. Stops the run when a watcher reports a
    // position outside the chunk. One thread at a time.
    ChunkReport Feed(const uint8_t* chunk, int count);

    const char* ImageName() const { return imageName_.get(); }
    uint16_t MarkerState() const { return marker_; }
    uint16_t CaptureState() const { return capture_; }
    uint16_t TriggerState() const { return trigger_; }
    uint16_t PromptState() const { return prompt_; }

  private:
    // The stream position of `matchEnd` within the chunk now fed, checked against its size.
    size_t StreamPosition(size_t matchEnd, int count) const;

    std::unique_ptr<char[]> imageName_;
    uint16_t marker_ = 0;
    uint16_t capture_ = kCaptureIdle;
    uint16_t trigger_ = 0;
    uint16_t prompt_ = 0;
    size_t fed_ = 0;  // stream bytes before the chunk now fed
};

}  // namespace drel::fuzz
