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

ExitStatus StatusOf(transfer::TransferResult result, bool portGone) {
    using transfer::TransferResult;
    if (portGone) {
        return ExitStatus::DeviceGone;
    }
    switch (result) {
        case TransferResult::Completed:
            return ExitStatus::Loaded;
        case TransferResult::ReceiverNeverStarted:
            return ExitStatus::NoHeaderRequest;
        case TransferResult::ReceiverStoppedAnswering:
            return ExitStatus::NoRecordRequest;
        case TransferResult::FileUnreadable:
        case TransferResult::BadFileName:
            return ExitStatus::BadImage;
        case TransferResult::ReceiverCancelled:
            return ExitStatus::ReceiverCancelled;
        case TransferResult::UserCancelled:
            return ExitStatus::Interrupted;
        case TransferResult::Running:
            break;
    }
    return ExitStatus::DeviceGone;
}

}  // namespace drel::cli
