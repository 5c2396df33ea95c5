#pragma once

// The sending side of XMODEM, XMODEM-1K and YMODEM, with no I/O of its own. The caller writes
// to the line what each call returns, hands in what the receiver sends, in any pieces, and the
// time; time-outs pass when the caller calls Tick at or after NextDeadline().
//
// The receiver starts the transfer with NAK (8-bit checksums) or 'C' (CRC-16), answered
// kRequestSettle later as every request for a packet is, and answers every
// packet with ACK or NAK. A packet goes out again on NAK or when no answer comes within
// kAnswerTimeout, at most kMaxRetries more times; CAN CAN from the receiver ends the transfer.
//
// Some receivers (lrzsz's rx and rb) empty their input just after each ACK or NAK, so a packet
// that reaches them before that is lost whole. Packets follow an answer at once until one is
// seen lost whole (its answer timed out, or a NAK came only after kLostPacketAnswer); from then
// on each waits a settle after the answer, doubled at each further loss up to kMaxPacketSettle.
// A clean line never pays for it.
//
// XMODEM sends 128-byte blocks from block 1, the last padded with 0x1A, then EOT. XMODEM-1K
// and YMODEM send 1024-byte blocks while more than 128 bytes are left and a 128-byte block for
// a shorter tail (128-byte blocks throughout when the receiver asked for checksums). YMODEM first
// sends block 0 with the file's name, size and time, waits for the receiver's next 'C' before the
// data and after EOT, and ends the batch with an empty block
// 0; as the file is through once EOT is acknowledged, a receiver that leaves the batch's end
// unasked for or unanswered does not fail it. Receivers cut YMODEM's padding at
// the size from block 0.
//
// EOT's answer is waited for kEndTimeout and EOT sent again at most kEndRetries times when none
// comes: every data block is acknowledged by then, and some receivers (lrzsz's rx) empty their
// output as they end, losing EOT's ACK. Such a transfer completes with EndConfirmed() false.
//
// Not thread-safe: one thread drives a sender.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "transfer/FileSource.h"
#include "transfer/XmodemPacket.h"

namespace drel::transfer {

enum class TransferProtocol { Xmodem, Xmodem1k, Ymodem };

enum class TransferResult {
    Running,
    Completed,                 // the receiver acknowledged the whole file
    ReceiverNeverStarted,      // no NAK or 'C' within kStartTimeout of Start
    ReceiverStoppedAnswering,  // one step unanswered or refused kMaxRetries more times
    ReceiverCancelled,         // the receiver sent CAN CAN
    UserCancelled,             // Cancel() was called
    FileUnreadable,            // the source failed to give a block
    BadFileName,               // YMODEM: the name cannot go into block 0 (empty, NUL, too long)
};

// What YMODEM's block 0 tells of the file; XMODEM uses only the size.
struct TransferFile {
    std::string baseName;  // without folders
    uint64_t size = 0;
    int64_t mtime = 0;  // seconds since 1970; 0 when unknown
};

struct TransferProgress {
    uint64_t acknowledged = 0;  // file bytes the receiver has acknowledged
    uint64_t total = 0;
};

class TransferSender {
  public:
    using Clock = std::chrono::steady_clock;
    using TimePoint = Clock::time_point;

    enum class State {
        WaitingForReceiver,  // for the first NAK or 'C'
        SentHeader,          // YMODEM block 0 out, waiting for its ACK
        WaitingForData,      // YMODEM block 0 acknowledged, waiting for 'C' before the data
        SentData,            // a data block out, waiting for its ACK
        SentEot,
        WaitingForBatchEnd,  // YMODEM EOT acknowledged, waiting for 'C' before the empty block 0
        SentBatchEnd,
        Cancelling,  // the user's CANs are out; they go again once if the receiver answers
        Ended,
    };

    static constexpr std::chrono::seconds kStartTimeout{60};
    static constexpr std::chrono::seconds kAnswerTimeout{10};
    // Once every data block is acknowledged, EOT's answer and the batch's end are waited for only
    // this long: a receiver that has its file may end without answering (lrzsz's rb and rx
    // empty their output as they end), and the user should not wait ten seconds for that.
    static constexpr std::chrono::seconds kEndTimeout{2};
    static constexpr int kEndRetries = 2;
    static constexpr int kMaxRetries = 10;
    // A NAK this long after its packet means the receiver never saw the packet, even at 9600
    // baud (a 1K block takes 1.07 s there; a receiver NAKs a damaged one as soon as it is in).
    static constexpr std::chrono::seconds kLostPacketAnswer{1};
    static constexpr std::chrono::milliseconds kFirstPacketSettle{1};
    static constexpr std::chrono::milliseconds kMaxPacketSettle{16};
    // How long the answer to a NAK or 'C' that asks for a transfer, its data or the batch's end
    // waits: lrzsz's rb and rx empty their input just after asking, and drop a packet that comes
    // at once on a fast line.
    static constexpr std::chrono::milliseconds kRequestSettle{10};
    // CANs sent to stop the receiver; receivers stop on two or three in a row.
    static constexpr size_t kCancelLength = 5;
    // After the user's cancel, how long an answer is waited for: one that comes (the receiver
    // acknowledging the packet it was reading) gets the CANs again kRequestSettle later, as a
    // receiver that empties its input after answering has lost the first ones.
    static constexpr std::chrono::seconds kCancelLinger{1};

    // A sender of `file`, reading its bytes from `source`, which must outlive it. Ends at once
    // with BadFileName when YMODEM cannot carry the name.
    TransferSender(TransferProtocol protocol, TransferFile file, FileSource& source);

    // Starts waiting for the receiver: sends nothing, the receiver speaks first.
    void Start(TimePoint now);

    // Takes bytes from the receiver; returns what to send now (at most one packet or EOT, or
    // the CANs of a failure). Bytes that answer nothing are line noise and ignored; after an
    // answer has been acted on, the rest of `bytes` is only looked at for CAN CAN, since it was
    // sent before the receiver could see what this call returns.
    std::vector<uint8_t> Receive(std::span<const uint8_t> bytes, TimePoint now);

    // Acts once `now` reaches NextDeadline(): sends the answer held back, sends again after a
    // time-out, or ends the transfer. Returns what to send.
    std::vector<uint8_t> Tick(TimePoint now);

    // The user's cancel: returns the CANs that stop the receiver (nothing once ended or
    // cancelled); Result() is UserCancelled from now, and the transfer ends within kCancelLinger.
    std::vector<uint8_t> Cancel(TimePoint now);

    // When Tick has something to do; TimePoint::max() before Start and once ended.
    TimePoint NextDeadline() const { return deadline_; }

    State CurrentState() const { return state_; }
    bool Done() const { return state_ == State::Ended; }
    TransferResult Result() const { return result_; }
    // False when the transfer completed without EOT's ACK (see kEndRetries).
    bool EndConfirmed() const { return endConfirmed_; }
    TransferProgress Progress() const { return {acknowledged_, file_.size}; }
    // The check the receiver asked for; meaningful once it has started.
    CheckKind Check() const { return check_; }

  private:
    // What goes out at deadline_ rather than at once, so that the receiver has emptied its
    // input before it comes.
    enum class Held { Nothing, RequestAnswer, NextPacket, SamePacket, Cancel };

    // Each acts on one answer byte; true when it gave something to send or hold.
    bool OnAnswer(uint8_t byte, TimePoint now, std::vector<uint8_t>& out);
    // A request for the transfer, the data or the batch's end: answered at the deadline.
    void OnStartRequest(uint8_t byte, TimePoint now);
    bool OnAck(TimePoint now, std::vector<uint8_t>& out);
    void OnRefusal(TimePoint now, std::vector<uint8_t>& out);
    void OnSilence(TimePoint now, std::vector<uint8_t>& out);
    void AnswerRequest(TimePoint now, std::vector<uint8_t>& out);
    // Sends `what` now, or holds it for the packet settle.
    void SendOrHold(Held what, TimePoint now, std::vector<uint8_t>& out);
    void Release(Held what, TimePoint now, std::vector<uint8_t>& out);
    // The receiver never saw the packet out: later packets wait longer after an answer.
    void RaiseSettle();

    void SendHeader(TimePoint now, std::vector<uint8_t>& out);
    void SendNextData(TimePoint now, std::vector<uint8_t>& out);
    void SendBatchEnd(TimePoint now, std::vector<uint8_t>& out);
    void Send(State state, std::vector<uint8_t> bytes, TimePoint now, std::vector<uint8_t>& out);
    void Wait(State state, TimePoint now);
    void Resend(TimePoint now, std::vector<uint8_t>& out);
    // Counts one more try of the step; false (and the transfer ended) when none is left.
    bool CountRetry(std::vector<uint8_t>& out);
    // How long the step waited for now may wait for its answer.
    Clock::duration AnswerWait() const;
    // Whether the packet out is YMODEM's block 0: the header or the batch's end.
    bool IsBlockZero() const;
    // After YMODEM's EOT was acknowledged: the file is through, only the batch's end is left.
    bool InBatchEnd() const;
    void End(TransferResult result);
    void Abort(TransferResult result, std::vector<uint8_t>& out);

    TransferProtocol protocol_;
    TransferFile file_;
    FileSource& source_;
    std::vector<uint8_t> header_;  // YMODEM block 0's data

    State state_ = State::WaitingForReceiver;
    TransferResult result_ = TransferResult::Running;
    TimePoint deadline_ = TimePoint::max();
    CheckKind check_ = CheckKind::Crc16;
    size_t blockSize_ = kShortBlock;
    std::vector<uint8_t> sent_;  // the packet (or EOT) waiting for its answer
    TimePoint sentAt_{};
    Held held_ = Held::Nothing;
    Clock::duration packetSettle_{};
    int retries_ = 0;
    int silentEnds_ = 0;  // EOTs gone unanswered
    bool endConfirmed_ = true;
    uint8_t nextBlock_ = 1;
    uint64_t acknowledged_ = 0;
    uint64_t inFlight_ = 0;  // file bytes in the data block out
    bool lastWasCan_ = false;
};

}  // namespace drel::transfer
