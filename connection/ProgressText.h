#pragma once

// The words that say how far a file being sent has come, the same for an image load and a file
// transfer, in the status bar and on drel-load's stderr.

#include <cstdint>
#include <string>

namespace drel {

// A file's progress at one moment.
struct ProgressPoint {
    std::string path;  // as the user named the file, or its base name
    uint64_t bytesSent = 0;
    uint64_t size = 0;
    double seconds = 0;  // since sending began
};

// "NAME  42 %  1761607 of 4194304 bytes  91.9 kB/s  0:26 left": the share of the file sent, the
// rate since sending began and the time the rest takes at that rate ("--:--" before there is a
// rate). Any thread.
std::string ProgressText(const ProgressPoint& point);

// "91.9 kB/s" (1 kB = 1000 bytes). Any thread.
std::string RateText(double bytesPerSecond);

// "m:ss", or "h:mm:ss" from an hour on. Any thread.
std::string DurationText(double seconds);

}  // namespace drel
