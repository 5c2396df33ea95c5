#include "cli/TransferSession.h"

#include <poll.h>

#include <algorithm>
#include <atomic>
#include <cinttypes>
#include <cstring>
#include <mutex>
#include <optional>
#include <string>

#include "cli/ConsoleUserInterface.h"
#include "cli/LoadReport.h"
#include "connection/ConnectionLifecycle.h"
#include "connection/ConnectionLog.h"
#include "connection/FileTransfer.h"
#include "connection/ProgressText.h"
#include "platform/SerialService.h"
#include "platform/WakeSignal.h"
#include "transfer/DiskFile.h"

namespace drel::cli {

namespace {

using Clock = std::chrono::steady_clock;
using transfer::TransferResult;

// After an interruption the transfer gets this long to send the receiver its CANs and end.
constexpr std::chrono::seconds kCancelPatience{2};

// How the transfer went, as the transfer's thread tells it; read once it has ended.
class TransferWatch final : public TransferObserver {
  public:
    void Progressed(uint64_t acknowledged, uint64_t total) override {
        acknowledged_ = acknowledged;
        total_ = total;
        wake_.Raise();
    }

    void Ended(TransferResult result, bool portGone, bool endConfirmed) override {
        {
            std::lock_guard lock(mutex_);
            result_ = result;
            portGone_ = portGone;
            endConfirmed_ = endConfirmed;
        }
        ended_ = true;
        wake_.Raise();
    }

    int fd() const { return wake_.fd(); }
    void Drain() { wake_.Drain(); }
    bool HasEnded() const { return ended_; }
    uint64_t Acknowledged() const { return acknowledged_; }
    uint64_t Total() const { return total_; }
    ExitStatus Status() const {
        std::lock_guard lock(mutex_);
        return StatusOf(result_, portGone_);
    }
    TransferResult Result() const {
        std::lock_guard lock(mutex_);
        return result_;
    }
    bool PortGone() const {
        std::lock_guard lock(mutex_);
        return portGone_;
    }
    bool EndConfirmed() const {
        std::lock_guard lock(mutex_);
        return endConfirmed_;
    }

  private:
    platform::WakeSignal wake_;
    std::atomic<uint64_t> acknowledged_{0};
    std::atomic<uint64_t> total_{0};
    std::atomic<bool> ended_{false};
    mutable std::mutex mutex_;
    TransferResult result_ = TransferResult::Running;
    bool portGone_ = false;
    bool endConfirmed_ = true;
};

// The board's text on stdout while no transfer runs: during one, what comes is the protocol's.
class TextOutsideTransfers final : public ReceiveTap {
  public:
    TextOutsideTransfers(std::FILE* stream, const PortConnection& c) : stream_(stream), c_(c) {}

    void Received(const uint8_t* bytes, size_t count) override {
        if (stream_ == nullptr || c_.transferring != 0) {
            return;
        }
        if (std::fwrite(bytes, 1, count, stream_) != count || std::fflush(stream_) != 0) {
            stream_ = nullptr;  // the reader went away; the transfer goes on
        }
    }

  private:
    std::FILE* stream_;
    const PortConnection& c_;
};

class TransferRunner {
  public:
    TransferRunner(const LoadOptions& options, Console& console, Interruption& interruption,
                   std::FILE* out)
        : options_(options),
          console_(console),
          interruption_(interruption),
          out_(out),
          ui_(console),
          text_(options.quiet || options.json ? nullptr : out, connection_),
          connection_(platform::SystemSerialService(), ui_) {}

    ExitStatus Run() {
        if (!FileOpens()) {
            return Finish(ExitStatus::BadImage);
        }
        if (const std::optional<ExitStatus> failed = Open()) {
            return Finish(*failed);
        }
        const ExitStatus status = AwaitEnd();
        CloseConnection(connection_);
        return Finish(status);
    }

  private:
    bool FileOpens() {
        transfer::TransferFile file;
        int error = 0;
        if (!transfer::DiskFile::Open(options_.sendFile, file, error)) {
            console_.Line("drel-load: can not open " + options_.sendFile + ": " +
                          std::strerror(error));
            return false;
        }
        size_ = file.size;
        return true;
    }

    std::optional<ExitStatus> Open() {
        LineSettings settings{};
        ApplyPortChoices(options_.port, settings);
        connection_.transferObserver = &watch_;
        connection_.receiveTap = &text_;
        if (!options_.port.logPath.empty()) {
            const std::string error =
                StartLog(connection_, options_.port.logPath, options_.port.logFormat);
            if (!error.empty()) {
                console_.Line(error);
                return ExitStatus::BadUsage;
            }
        }
        if (!OpenConnection(connection_, options_.port.port, settings)) {
            return ExitStatus::PortNotOpened;
        }
        if (!options_.command.empty()) {
            // Typed on the connection's writer thread: a line that holds it off then keeps only
            // that thread waiting, and an interruption still ends the run. The transfer sends
            // nothing before the receiver asks, which it does in answer to the command.
            connection_.userWrites.Write(options_.command);
        }
        sendingSince_ = Clock::now();
        const std::string error =
            StartFileTransfer(connection_, *options_.sendProtocol, options_.sendFile);
        if (!error.empty()) {
            console_.Line("drel-load: " + error);
            return ExitStatus::BadImage;
        }
        return std::nullopt;
    }

    // Waits for the transfer's end, showing its progress. An interruption cancels it, the
    // receiver is sent CANs, and ends the wait kCancelPatience later at the latest: a line that
    // holds every write off must not keep the run from ending (the close aborts the write).
    ExitStatus AwaitEnd() {
        std::optional<Clock::time_point> giveUp;  // set once interrupted
        while (!watch_.HasEnded() && !(giveUp && Clock::now() >= *giveUp)) {
            pollfd waits[] = {{watch_.fd(), POLLIN, 0}, {interruption_.fd(), POLLIN, 0}};
            poll(waits, 2, PollTimeout(giveUp));  // EINTR only looks again
            watch_.Drain();
            ShowProgress();
            if (const std::optional<int> signal = interruption_.Take(); signal && !giveUp) {
                giveUp = Clock::now() + kCancelPatience;
                console_.Line("drel-load: interrupted; the transfer is cancelled");
                CancelFileTransfer(connection_);
            }
        }
        const TransferResult result =
            watch_.HasEnded() ? watch_.Result() : TransferResult::UserCancelled;
        console_.Line(TransferResultLine(*options_.sendProtocol, BaseName(), result,
                                         watch_.Acknowledged(), watch_.EndConfirmed()));
        return giveUp ? ExitStatus::Interrupted : watch_.Status();
    }

    // How long a wait for news may last: the next redraw of the progress, and no later than
    // `giveUp` when set.
    static int PollTimeout(const std::optional<Clock::time_point>& giveUp) {
        constexpr int kRedrawMs = 1000;
        if (!giveUp) {
            return kRedrawMs;
        }
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(*giveUp - Clock::now()).count();
        return static_cast<int>(std::clamp<int64_t>(left, 0, kRedrawMs));
    }

    void ShowProgress() {
        const auto now = Clock::now();
        if (now < nextRedraw_) {
            return;
        }
        nextRedraw_ = now + std::chrono::milliseconds(console_.Terminal() ? 100 : 1000);
        const double seconds = std::chrono::duration<double>(now - sendingSince_).count();
        console_.Progress(
            ProgressText({BaseName(), watch_.Acknowledged(), watch_.Total(), seconds}));
    }

    std::string BaseName() const {
        const size_t slash = options_.sendFile.rfind('/');
        return slash == std::string::npos ? options_.sendFile : options_.sendFile.substr(slash + 1);
    }

    ExitStatus Finish(ExitStatus status) {
        if (options_.json) {
            const double seconds = std::chrono::duration<double>(Clock::now() - began_).count();
            char figures[160];
            std::snprintf(figures, sizeof figures,
                          ",\"size\":%" PRIu64 ",\"bytes_sent\":%" PRIu64 ",\"seconds\":%.3f",
                          size_, watch_.Acknowledged(), seconds);
            std::fprintf(out_,
                         "{\"port\":%s,\"line\":%s,\"protocol\":%s,\"file\":%s%s,"
                         "\"exit_status\":%d}\n",
                         JsonString(options_.port.port).c_str(), JsonLine(options_.port).c_str(),
                         JsonString(ProtocolName(*options_.sendProtocol)).c_str(),
                         JsonString(options_.sendFile).c_str(), figures, ProcessStatus(status));
            std::fflush(out_);
        }
        return status;
    }

    const LoadOptions& options_;
    Console& console_;
    Interruption& interruption_;
    std::FILE* const out_;
    const Clock::time_point began_ = Clock::now();
    ConsoleUserInterface ui_;
    TransferWatch watch_;
    TextOutsideTransfers text_;
    PortConnection connection_;
    uint64_t size_ = 0;
    Clock::time_point sendingSince_;
    Clock::time_point nextRedraw_;
};

}  // namespace

ExitStatus RunTransfer(const LoadOptions& options, Console& console, Interruption& interruption,
                       std::FILE* out) {
    TransferRunner runner(options, console, interruption, out);
    return runner.Run();
}

}  // namespace drel::cli
