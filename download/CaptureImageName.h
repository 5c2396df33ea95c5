#pragma once

// Taking the image path that a device announces after ":F=" up to the next carriage return.

#include <cstddef>
#include <cstdint>

namespace drel {

// The longest image path kept: Linux's path limit less its terminating zero.
inline constexpr size_t kImageNameMaxLength = 4095;

// Capture states, owned by the caller.
inline constexpr uint16_t kCaptureIdle = 0;
inline constexpr uint16_t kCaptureMarkerDone = 1;  // ":F=" ended at `markerEnd` in this chunk
inline constexpr uint16_t kCaptureContinues = 2;   // the name goes on in the next chunk

// Copies the announced name from `chunk` into `imageName` (room for kImageNameMaxLength
// characters and a zero). In state kCaptureMarkerDone the name starts afresh at chunk index
// `markerEnd`; in kCaptureContinues it is appended to. A carriage return ends the name (not
// stored), as does a name that has reached the maximum length; the state is then idle. Zero
// bytes are left out. A chunk
// used up first leaves the state at kCaptureContinues. `imageName` is always zero-terminated
// afterwards. Any thread; touches nothing but its arguments.
void CaptureImageName(const uint8_t* chunk, int count, uint16_t& state, char* imageName,
                      size_t markerEnd = 0);

}  // namespace drel
