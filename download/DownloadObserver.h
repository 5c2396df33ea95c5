#pragma once

// What a front end without windows is told of the loads on a connection: each image as its
// worker begins it, the bytes sent, how it ended, and the device going away. The windows learn
// the same from message boxes and the marks in the terminal; a program run by scripts needs it
// as values, to show progress and to choose its exit status.

#include <cstdint>
#include <string>

namespace drel {

// How one image's transfer ended.
enum class DownloadResult {
    Loaded,           // the end record has been sent
    CannotOpen,       // the image file does not open
    Refused,          // a board on a network port named a file it may not have
    Incomplete,       // the file ends before the image's end record
    NoHeaderRequest,  // the device did not ask for the image header in time
    NoRecordRequest,  // the device did not ask for the next record in time
    NoMemory,         // no memory for a record
    Stopped,          // a write failed or the connection closed
};

class DownloadObserver {
  public:
    virtual ~DownloadObserver() = default;

    // A worker begins sending `imageName`, whose file holds `fileSize` bytes (0 when it does
    // not open). The download worker's thread.
    virtual void Started(const std::string& imageName, uint64_t fileSize) = 0;

    // `bytes` of the file and `records` data records have been sent so far; called after the
    // image header and after each record. Must return at once: the device waits meanwhile. The
    // download worker's thread.
    virtual void Sent(uint64_t bytes, uint32_t records) = 0;

    // The transfer begun by the last Started has ended, after any message about it. The
    // download worker's thread.
    virtual void Ended(DownloadResult result) = 0;

    // The port's device has gone away and the connection's receive loop is ending (a worker that
    // runs ends with Stopped). The receive loop's thread.
    virtual void DeviceLost() = 0;
};

}  // namespace drel
