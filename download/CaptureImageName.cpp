#include "CaptureImageName.h"

#include <cstring>

namespace drel {

void CaptureImageName(const uint8_t* chunk, int count, uint16_t& state, char* imageName,
                      size_t markerEnd) {
    size_t from = 0;
    size_t length = 0;
    if (state == kCaptureMarkerDone) {
        from = markerEnd;
    } else if (state == kCaptureContinues) {
        length = std::strlen(imageName);
    } else {
        return;
    }
    state = kCaptureContinues;
    for (size_t i = from; i < static_cast<size_t>(count > 0 ? count : 0); ++i) {
        if (chunk[i] == '\r' || length == kImageNameMaxLength) {
            state = kCaptureIdle;
            break;
        }
        // A zero byte cannot be part of a path, and storing it would end the name early in one
        // chunking and not in another: it is left out, as the terminal leaves it out.
        if (chunk[i] != 0) {
            imageName[length++] = static_cast<char>(chunk[i]);
        }
    }
    imageName[length] = '\0';
}

}  // namespace drel
