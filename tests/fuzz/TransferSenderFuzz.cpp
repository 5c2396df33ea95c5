// Fuzzes the file sender with what a receiver might send. The first byte chooses the protocol
// and whether the file shrinks under the sender, the next two the file's size; the rest is a
// script: a byte below 0xC0 hands in the next 1 to 8 bytes as the receiver's, 0xC0 to 0xFD moves
// the clock on by 0 to 61 seconds and ticks, 0xFE is the user's cancel, 0xFF moves the clock to
// the sender's deadline and ticks. Checked:
// - every call sends nothing, one well-formed packet under the check the receiver asked for,
//   EOT, or the CANs that end a transfer (twice at most after the user's cancel);
// - a packet is the one before sent again, or the next in order, and a new one only follows an
//   ACK, NAK or 'C' handed in since the one before;
// - data packets carry the file's bytes in order, padded with 0x1A, and block 0 the header;
// - nothing goes out more than 1 + kMaxRetries times in a row, nothing after the end;
// - progress only grows, and Completed means the whole file was acknowledged;
// - once the script is out, time-outs alone end the transfer.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "FuzzCheck.h"
#include "transfer/TransferSender.h"

namespace {

using drel::fuzz::Require;
using namespace drel::transfer;
using Sender = TransferSender;

class Checker {
  public:
    Checker(TransferProtocol protocol, const std::vector<uint8_t>& file)
        : protocol_(protocol), file_(file) {}

    // Checks what one call of `sender` sent; `answers` is what that call was handed.
    void Check(const Sender& sender, const std::vector<uint8_t>& sent,
               std::span<const uint8_t> answers) {
        Require(!ended_ || sent.empty(), "nothing is sent after the end");
        asked_ = asked_ || std::any_of(answers.begin(), answers.end(), [](uint8_t b) {
                     return b == kAck || b == kNak || b == kCrcRequest;
                 });
        ended_ = sender.Done();
        const auto progress = sender.Progress();
        Require(progress.acknowledged >= acknowledged_ && progress.acknowledged <= file_.size(),
                "progress grows within the file");
        acknowledged_ = progress.acknowledged;
        Require(
            sender.Result() != TransferResult::Completed || progress.acknowledged == file_.size(),
            "a completed transfer acknowledged the whole file");
        if (sent.empty()) {
            return;
        }
        if (sent == std::vector<uint8_t>(Sender::kCancelLength, kCan)) {
            Require(sender.Result() != TransferResult::Running &&
                        sender.Result() != TransferResult::Completed &&
                        (sender.Done() || sender.CurrentState() == Sender::State::Cancelling),
                    "CANs end a transfer that failed or is cancelled");
            return;
        }
        if (sent == previous_) {
            Require(++repeats_ <= Sender::kMaxRetries, "a step is sent at most 11 times");
            return;
        }
        Require(asked_, "a new packet answers the receiver");
        asked_ = false;
        CheckNext(sender, sent);
        previous_ = sent;
        repeats_ = 0;
    }

  private:
    void CheckNext(const Sender& sender, const std::vector<uint8_t>& sent) {
        if (sent == std::vector<uint8_t>{kEot}) {
            Require(offset_ == file_.size() && !eotSent_, "EOT follows the whole file, once");
            eotSent_ = true;
            return;
        }
        const auto packet = ParsePacket(sent, sender.Check());
        Require(packet && packet->length == sent.size(), "one well-formed packet");
        const bool ymodem = protocol_ == TransferProtocol::Ymodem;
        if (packet->blockNumber == 0 && ymodem && !headerSent_) {
            headerSent_ = true;
            Require(packet->data[0] != 0, "block 0 names the file");
            return;
        }
        if (eotSent_) {
            Require(ymodem && packet->blockNumber == 0 &&
                        std::all_of(packet->data.begin(), packet->data.end(),
                                    [](uint8_t b) { return b == 0; }),
                    "after EOT only YMODEM's empty block 0");
            return;
        }
        Require(!ymodem || headerSent_, "YMODEM sends block 0 first");
        Require(packet->blockNumber == nextBlock_, "data blocks go in order");
        Require(protocol_ != TransferProtocol::Xmodem || packet->data.size() == kShortBlock,
                "XMODEM sends 128-byte blocks");
        const size_t real = std::min<size_t>(packet->data.size(), file_.size() - offset_);
        Require(real > 0 && std::equal(packet->data.begin(), packet->data.begin() + real,
                                       file_.begin() + static_cast<std::ptrdiff_t>(offset_)),
                "a data block carries the file's next bytes");
        Require(std::all_of(packet->data.begin() + real, packet->data.end(),
                            [](uint8_t b) { return b == kCpmEof; }),
                "the last block is padded with 0x1A");
        offset_ += real;
        ++nextBlock_;
    }

    TransferProtocol protocol_;
    const std::vector<uint8_t>& file_;
    std::vector<uint8_t> previous_;
    int repeats_ = 0;
    bool asked_ = false;  // an ACK, NAK or 'C' came since the last new packet
    bool ended_ = false;
    bool headerSent_ = false;
    bool eotSent_ = false;
    uint8_t nextBlock_ = 1;
    size_t offset_ = 0;
    uint64_t acknowledged_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 3) {
        return 0;
    }
    const auto protocol = static_cast<TransferProtocol>(data[0] % 3);
    const bool shrinks = data[0] & 0x04;
    const size_t fileSize = (data[1] | (data[2] << 8)) % 5000;
    std::vector<uint8_t> file(fileSize);
    for (size_t i = 0; i < fileSize; ++i) {
        file[i] = static_cast<uint8_t>(i * 31 + (i >> 8));
    }
    SpanSource source(std::span(file).first(shrinks ? fileSize / 2 : fileSize));
    Sender sender(protocol, {"image.bin", fileSize, 1234}, source);
    Checker checker(protocol, file);
    Sender::TimePoint now{};
    sender.Start(now);

    const std::span<const uint8_t> script(data + 3, size - 3);
    for (size_t at = 0; at < script.size();) {
        const uint8_t op = script[at++];
        std::span<const uint8_t> answers;
        std::vector<uint8_t> sent;
        if (op < 0xC0) {
            answers = script.subspan(at, std::min<size_t>(op % 8 + 1, script.size() - at));
            at += answers.size();
            sent = sender.Receive(answers, now);
        } else if (op == 0xFE) {
            sent = sender.Cancel(now);
        } else {
            const auto deadline = sender.NextDeadline();
            now = op == 0xFF ? (deadline == Sender::TimePoint::max() ? now : deadline)
                             : now + std::chrono::seconds(op - 0xC0);
            sent = sender.Tick(now);
        }
        checker.Check(sender, sent, answers);
    }
    for (int tick = 0; tick <= Sender::kMaxRetries + 1 && !sender.Done(); ++tick) {
        now = sender.NextDeadline();
        checker.Check(sender, sender.Tick(now), {});
    }
    Require(sender.Done(), "time-outs alone end the transfer");
    return 0;
}
