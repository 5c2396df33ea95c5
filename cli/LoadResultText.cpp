#include "cli/LoadResultText.h"

#include <cinttypes>
#include <cstdio>

#include "connection/ProgressText.h"

namespace drel::cli {

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
