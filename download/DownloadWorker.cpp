#include "DownloadWorker.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <system_error>

#include "connection/ConnectionDisplay.h"
#include "connection/PortReadWrite.h"
#include "connection/ProgressText.h"
#include "connection/StatusProgress.h"
#include "download/BinImageReader.h"
#include "download/ImagePermission.h"

namespace drel {

namespace {

using platform::WaitResult;

constexpr uint32_t kPieceSize = 4096;
constexpr int kMarksPerLine = 40;

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

// What has gone to the device so far, for the connection's observer or the status bar.
struct Tally {
    uint64_t bytes = 0;
    uint32_t records = 0;
    std::string name;                      // the file's base name
    std::optional<StatusProgress> status;  // without an observer, once the file is open
};

// Shows a progress mark in the terminal. An observer shows progress its own way, and the
// terminal then keeps to what the device sent.
void Show(PortConnection& c, const char* mark) {
    if (c.downloadObserver.load() != nullptr) {
        return;
    }
    DisplayBytes(c, reinterpret_cast<const uint8_t*>(mark),
                 static_cast<int>(std::char_traits<char>::length(mark)));
}

void ReportSent(PortConnection& c, Tally& tally) {
    if (DownloadObserver* observer = c.downloadObserver.load()) {
        observer->Sent(tally.bytes, tally.records);
    } else if (tally.status) {
        tally.status->Show(tally.bytes, StatusProgress::Clock::now());
    }
}

// The status bar keeps a load's outcome in a few words; a failure has had its message box.
void ReportEnd(PortConnection& c, const Tally& tally, DownloadResult result) {
    if (DownloadObserver* observer = c.downloadObserver.load()) {
        observer->Ended(result);
    } else if (tally.status) {
        const double seconds = tally.status->Seconds(StatusProgress::Clock::now());
        c.ui.ShowStatus(result == DownloadResult::Loaded
                            ? c.portName + " loaded " + tally.name + ", " +
                                  std::to_string(tally.bytes) + " bytes in " + DurationText(seconds)
                            : std::string());
    }
}

// The size of the open `file`, 0 when the system does not say.
uint64_t FileSize(std::FILE* file) {
    struct stat status {};
    return fstat(fileno(file), &status) == 0 ? static_cast<uint64_t>(status.st_size) : 0;
}

void ReportStart(PortConnection& c, Tally& tally, const std::string& imageName, std::FILE* file) {
    const uint64_t size = file != nullptr ? FileSize(file) : 0;
    tally.name = std::filesystem::path(imageName).filename().string();
    if (DownloadObserver* observer = c.downloadObserver.load()) {
        observer->Started(imageName, size);
    } else if (file != nullptr) {
        tally.status.emplace(c.ui, c.portName + " loading", tally.name, size,
                             StatusProgress::Clock::now());
    }
}

// Ends the transfer; a message, when given, is shown first and `downloading` cleared only once
// the user has dismissed it, so request bytes that arrive meanwhile are not taken for text.
int End(PortConnection& c, const Tally& tally, int exitCode, DownloadResult result,
        const std::string& phrase = {}) {
    if (!phrase.empty()) {
        c.ui.MessageBox(c.portName + phrase);
    }
    c.downloading = 0;
    ReportEnd(c, tally, result);
    return exitCode;
}

bool Send(PortConnection& c, const uint8_t* bytes, uint32_t count) {
    return WritePort(c, bytes, count) != 0;
}

bool SendInPieces(PortConnection& c, const uint8_t* data, uint32_t length) {
    for (uint32_t sent = 0; sent < length;) {
        const uint32_t piece = std::min(kPieceSize, length - sent);
        if (!Send(c, data + sent, piece)) {
            return false;
        }
        sent += piece;
    }
    return true;
}

// Waits for `request`; false when the close woke the worker (it clears `downloading` first).
// Sets `timedOut` when no request came in time.
bool AwaitRequest(PortConnection& c, platform::Event& request, uint32_t timeoutMs, bool& timedOut) {
    timedOut = request.Wait(timeoutMs) == WaitResult::TimedOut;
    return !timedOut && c.downloading != 0;
}

int SendRecords(PortConnection& c, BinImageReader& image, Tally& tally) {
    int progress = 1;
    for (;;) {
        bool timedOut = false;
        if (!AwaitRequest(c, *c.recordRequest, c.downloadOptions.recordTimeoutMs, timedOut)) {
            return timedOut ? End(c, tally, 0, DownloadResult::NoRecordRequest,
                                  " Request record 60 seconds time out")
                            : End(c, tally, 0, DownloadResult::Stopped);
        }
        ImageRecord record;
        switch (image.ReadRecord(record)) {
            case BinImageReader::Status::Incomplete:
                return End(c, tally, 1, DownloadResult::Incomplete, " image file is incomplete");
            case BinImageReader::Status::NoMemory:
                return End(c, tally, 0, DownloadResult::NoMemory, " can't allocation memory");
            case BinImageReader::Status::Ok:
                break;
        }
        if (record.IsEnd()) {
            // Nothing is awaited after the end record, and a device answers it at once with its
            // prompt: the receive loop must already be watching for that prompt.
            c.downloading = 0;
            const bool sent = Send(c, record.header, kRecordHeaderSize);
            tally.bytes += sent ? kRecordHeaderSize : 0;
            ReportSent(c, tally);
            ReportEnd(c, tally, sent ? DownloadResult::Loaded : DownloadResult::Stopped);
            return 1;
        }
        if (!Send(c, record.header, kRecordHeaderSize)) {
            return End(c, tally, 0, DownloadResult::Stopped);
        }
        if (!SendInPieces(c, record.data.get(), record.length)) {
            return End(c, tally, 0, DownloadResult::Stopped);
        }
        tally.bytes += kRecordHeaderSize + uint64_t{record.length};
        ++tally.records;
        ReportSent(c, tally);
        progress = (progress + 1) % kMarksPerLine;
        Show(c, progress == 0 ? "*\r\n" : "*");
    }
}

}  // namespace

int DownloadWorker(PortConnection& c, const std::string& imageName) {
    c.downloading = 1;
    Tally tally;
    if (const std::string refusal = WhyImageRefused(c, imageName); !refusal.empty()) {
        ReportStart(c, tally, imageName, nullptr);
        return End(c, tally, 0, DownloadResult::Refused, refusal);
    }
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(imageName.c_str(), "rb"));
    ReportStart(c, tally, imageName, file.get());
    if (!file) {
        return End(c, tally, 0, DownloadResult::CannotOpen,
                   " can not open image file " + imageName);
    }
    BinImageReader image(file.get(), c.downloadOptions.allocateRecord);
    uint8_t head[kImageHeaderSize];
    if (!image.ReadExact(head, kSignatureSize)) {
        return End(c, tally, 1, DownloadResult::Incomplete, " image file is incomplete");
    }
    tally.bytes += Send(c, head, kSignatureSize) ? kSignatureSize : 0;  // "S" shows even so
    Show(c, "S");
    bool timedOut = false;
    if (!AwaitRequest(c, *c.headerRequest, c.downloadOptions.headerTimeoutMs, timedOut)) {
        return timedOut
                   ? End(c, tally, 0, DownloadResult::NoHeaderRequest, " Request header time out")
                   : End(c, tally, 0, DownloadResult::Stopped);
    }
    if (!image.ReadExact(head, kImageHeaderSize)) {
        return End(c, tally, 1, DownloadResult::Incomplete, " image file is incomplete");
    }
    tally.bytes += Send(c, head, kImageHeaderSize) ? kImageHeaderSize : 0;
    ReportSent(c, tally);
    Show(c, "H");
    return SendRecords(c, image, tally);
}

void StartDownloadWorker(PortConnection& c) {
    if (c.downloadWorker.joinable()) {
        c.downloadWorker.join();
    }
    try {
        c.downloadWorker =
            std::thread([&c, name = std::string(c.imageName)] { DownloadWorker(c, name); });
    } catch (const std::system_error&) {
        // No thread, no transfer: the device's request goes unanswered and it times out.
    }
}

void StopDownloadWorker(PortConnection& c) {
    if (!c.downloadWorker.joinable()) {
        return;
    }
    c.downloading = 0;
    c.headerRequest->Set();
    c.recordRequest->Set();
    c.port->PurgeComm(platform::PURGE_TXABORT);
    c.downloadWorker.join();
}

}  // namespace drel
