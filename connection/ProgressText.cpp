#include "connection/ProgressText.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>

namespace drel {

std::string RateText(double bytesPerSecond) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f kB/s", bytesPerSecond / 1000);
    return text;
}

std::string DurationText(double seconds) {
    const auto whole = static_cast<uint64_t>(seconds + 0.5);
    char text[32];
    if (whole >= 3600) {
        std::snprintf(text, sizeof text, "%" PRIu64 ":%02" PRIu64 ":%02" PRIu64, whole / 3600,
                      whole / 60 % 60, whole % 60);
    } else {
        std::snprintf(text, sizeof text, "%" PRIu64 ":%02" PRIu64, whole / 60, whole % 60);
    }
    return text;
}

std::string ProgressText(const ProgressPoint& point) {
    const uint64_t sent = std::min(point.bytesSent, point.size);
    const uint64_t percent = point.size == 0 ? 0 : sent * 100 / point.size;
    const double rate =
        point.seconds > 0 ? static_cast<double>(point.bytesSent) / point.seconds : 0;
    const std::string left =
        rate > 0 ? DurationText(static_cast<double>(point.size - sent) / rate) : "--:--";
    char figures[96];
    std::snprintf(figures, sizeof figures, "  %3" PRIu64 " %%  %" PRIu64 " of %" PRIu64 " bytes  ",
                  percent, point.bytesSent, point.size);
    return point.path + figures + RateText(rate) + "  " + left + " left";
}

}  // namespace drel
