#include "cli/ProgressText.h"

#include <cinttypes>
#include <cstdio>

namespace drel::cli {

namespace {

// "91.9 kB/s" (1 kB = 1000 bytes).
std::string RateText(double bytesPerSecond) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f kB/s", bytesPerSecond / 1000);
    return text;
}

// "m:ss", or "h:mm:ss" from an hour on.
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

}  // namespace

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

std::string ResultText(const ImageRun& run) {
    if (run.result != DownloadResult::Loaded) {
        return run.path + ": " + (run.result ? ResultName(*run.result) : "not started");
    }
    const double seconds = std::chrono::duration<double>(run.took).count();
    char figures[96];
    std::snprintf(figures, sizeof figures,
                  " loaded: %" PRIu32 " records, %" PRIu64 " bytes in %.2f s", run.records,
                  run.bytesSent, seconds);
    const double rate = seconds > 0 ? static_cast<double>(run.bytesSent) / seconds : 0;
    return run.path + figures + " (" + RateText(rate) + ")";
}

const char* ResultName(DownloadResult result) {
    switch (result) {
        case DownloadResult::Loaded:
            return "loaded";
        case DownloadResult::CannotOpen:
            return "image file does not open";
        case DownloadResult::Refused:
            return "refused: not a download file or in the folder of one";
        case DownloadResult::Incomplete:
            return "image file incomplete";
        case DownloadResult::NoHeaderRequest:
            return "no header request in time";
        case DownloadResult::NoRecordRequest:
            return "no record request in time";
        case DownloadResult::NoMemory:
            return "no memory for a record";
        case DownloadResult::Stopped:
            break;
    }
    return "stopped";
}

}  // namespace drel::cli
