#include "connection/FileTransfer.h"

#include <cstring>
#include <memory>
#include <optional>
#include <system_error>
#include <utility>
#include <vector>

#include "connection/ConnectionDisplay.h"
#include "connection/PortReadWrite.h"
#include "connection/StatusProgress.h"
#include "transfer/DiskFile.h"

namespace drel {

namespace {

using transfer::TransferProtocol;
using transfer::TransferResult;
using transfer::TransferSender;
using Clock = TransferSender::Clock;

const char* ReasonText(TransferResult result) {
    switch (result) {
        case TransferResult::ReceiverNeverStarted:
            return "the receiver did not start within 60 s";
        case TransferResult::ReceiverStoppedAnswering:
            return "the receiver stopped answering";
        case TransferResult::ReceiverCancelled:
            return "the receiver cancelled";
        case TransferResult::UserCancelled:
            return "cancelled";
        case TransferResult::FileUnreadable:
            return "the file could not be read";
        case TransferResult::BadFileName:
            return "the file's name cannot be sent";
        case TransferResult::Running:
        case TransferResult::Completed:
            break;
    }
    return "the port went away";
}

// One transfer, run on its own thread: the engine, the file it reads and what it reports.
class TransferRun {
  public:
    TransferRun(PortConnection& c, TransferProtocol protocol, transfer::TransferFile file,
                std::unique_ptr<transfer::DiskFile> source)
        : c_(c),
          protocol_(protocol),
          name_(file.baseName),
          source_(std::move(source)),
          sender_(protocol, std::move(file), *source_) {}

    void Run() {
        const Clock::time_point start = Clock::now();
        status_.emplace(c_.ui, ProtocolName(protocol_), name_, sender_.Progress().total, start);
        sender_.Start(start);
        bool portGone = false;
        std::vector<uint8_t> bytes;
        while (!sender_.Done() && !portGone) {
            bytes.clear();
            std::vector<uint8_t> out;
            switch (c_.transferInbox.Wait(sender_.NextDeadline(), bytes)) {
                case TransferInbox::Woke::Stopped:
                    return End(TransferResult::UserCancelled, true);
                case TransferInbox::Woke::PortGone:
                    portGone = true;
                    continue;
                case TransferInbox::Woke::Cancelled:
                    out = sender_.Cancel(Clock::now());
                    break;
                case TransferInbox::Woke::Bytes:
                    out = sender_.Receive(bytes, Clock::now());
                    break;
                case TransferInbox::Woke::TimedOut:
                    out = sender_.Tick(Clock::now());
                    break;
            }
            portGone = !Send(out);
            ShowProgress();
        }
        End(portGone ? TransferResult::Running : sender_.Result(), false);
    }

  private:
    // False when the port went away. A write the user's cancel aborted is no such failure.
    bool Send(const std::vector<uint8_t>& out) {
        return out.empty() || WritePort(c_, out.data(), static_cast<uint32_t>(out.size())) != 0 ||
               c_.transferInbox.CancelAsked();
    }

    void ShowProgress() {
        const transfer::TransferProgress progress = sender_.Progress();
        if (TransferObserver* observer = c_.transferObserver.load()) {
            observer->Progressed(progress.acknowledged, progress.total);
            return;
        }
        status_->Show(progress.acknowledged, Clock::now());
    }

    // Says how it went (to the observer, in the terminal and the status bar) unless the
    // connection closes, and lets the next transfer start.
    void End(TransferResult result, bool closing) {
        if (!closing) {
            Report(result);
        }
        c_.transferring = 0;
    }

    // `Running` stands for a port that went away.
    void Report(TransferResult result) {
        if (TransferObserver* observer = c_.transferObserver.load()) {
            observer->Ended(result, result == TransferResult::Running, sender_.EndConfirmed());
        }
        const std::string line = TransferResultLine(
            protocol_, name_, result, sender_.Progress().acknowledged, sender_.EndConfirmed());
        const std::string shown = "\r\n" + line + "\r\n";
        DisplayBytes(c_, reinterpret_cast<const uint8_t*>(shown.data()),
                     static_cast<int>(shown.size()));
        c_.ui.ShowStatus(line);
    }

    PortConnection& c_;
    const TransferProtocol protocol_;
    const std::string name_;
    std::unique_ptr<transfer::DiskFile> source_;
    TransferSender sender_;
    std::optional<StatusProgress> status_;  // from the start of Run
};

}  // namespace

const char* ProtocolName(TransferProtocol protocol) {
    switch (protocol) {
        case TransferProtocol::Xmodem:
            return "XMODEM";
        case TransferProtocol::Xmodem1k:
            return "XMODEM-1K";
        case TransferProtocol::Ymodem:
            break;
    }
    return "YMODEM";
}

std::string TransferResultLine(TransferProtocol protocol, const std::string& name,
                               TransferResult result, uint64_t sent, bool endConfirmed) {
    const std::string head = std::string(ProtocolName(protocol)) + ": ";
    if (result == TransferResult::Completed) {
        return head + "sent " + name + ", " + std::to_string(sent) + " bytes" +
               (endConfirmed ? "" : " (the receiver did not acknowledge the end)");
    }
    return head + name + " not sent: " + ReasonText(result);
}

std::string StartFileTransfer(PortConnection& c, TransferProtocol protocol,
                              const std::string& path) {
    if (c.connected == 0) {
        return "no port is open";
    }
    if (c.transferring != 0 || c.downloading != 0) {
        return "a transfer runs already";
    }
    transfer::TransferFile file;
    int error = 0;
    std::unique_ptr<transfer::DiskFile> source = transfer::DiskFile::Open(path, file, error);
    if (!source) {
        return path + ": " + std::strerror(error);
    }
    if (c.transferThread.joinable()) {
        c.transferThread.join();
    }
    c.transferInbox.Reset();
    auto run = std::make_unique<TransferRun>(c, protocol, std::move(file), std::move(source));
    c.transferring = 1;
    try {
        c.transferThread = std::thread([run = std::move(run)] { run->Run(); });
    } catch (const std::system_error&) {
        c.transferring = 0;
        return "no thread for the transfer";
    }
    return {};
}

void CancelFileTransfer(PortConnection& c) {
    if (c.transferring != 0) {
        c.transferInbox.Cancel();
        // A packet the receiver's line holds off (flow control) ends now, so that the CANs go.
        c.port->PurgeComm(platform::PURGE_TXABORT);
    }
}

void StopFileTransfer(PortConnection& c) {
    if (!c.transferThread.joinable()) {
        return;
    }
    // A close clears `connected` first; with it still set, the device went away.
    c.transferInbox.Stop(c.connected != 0);
    // A write the receiver's line holds off ends now.
    c.port->PurgeComm(platform::PURGE_TXABORT);
    c.transferThread.join();
}

}  // namespace drel
