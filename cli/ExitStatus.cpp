#include "cli/ExitStatus.h"

namespace drel::cli {

ExitStatus StatusOf(DownloadResult result) {
    switch (result) {
        case DownloadResult::Loaded:
            return ExitStatus::Loaded;
        case DownloadResult::NoHeaderRequest:
            return ExitStatus::NoHeaderRequest;
        case DownloadResult::NoRecordRequest:
            return ExitStatus::NoRecordRequest;
        case DownloadResult::CannotOpen:
        case DownloadResult::Refused:
        case DownloadResult::Incomplete:
        case DownloadResult::NoMemory:
            return ExitStatus::BadImage;
        case DownloadResult::Stopped:
            break;
    }
    return ExitStatus::DeviceGone;
}

}  // namespace drel::cli
