#include "transfer/TransferSender.h"

#include <algorithm>
#include <utility>

namespace drel::transfer {

TransferSender::TransferSender(TransferProtocol protocol, TransferFile file, FileSource& source)
    : protocol_(protocol), file_(std::move(file)), source_(source) {
    if (protocol_ == TransferProtocol::Ymodem) {
        header_ = BuildFileHeader(file_.baseName, file_.size, file_.mtime);
        if (header_.empty()) {
            End(TransferResult::BadFileName);
        }
    }
}

void TransferSender::Start(TimePoint now) {
    if (state_ == State::WaitingForReceiver) {
        deadline_ = now + kStartTimeout;
    }
}

std::vector<uint8_t> TransferSender::Receive(std::span<const uint8_t> bytes, TimePoint now) {
    std::vector<uint8_t> out;
    bool answered = false;
    for (const uint8_t byte : bytes) {
        if (state_ == State::Ended) {
            break;
        }
        if (byte == kCan && lastWasCan_) {
            End(state_ == State::Cancelling ? result_ : TransferResult::ReceiverCancelled);
            out.clear();
            break;
        }
        lastWasCan_ = byte == kCan;
        if (!answered && !lastWasCan_) {
            answered = OnAnswer(byte, now, out);
        }
    }
    return out;
}

std::vector<uint8_t> TransferSender::Tick(TimePoint now) {
    std::vector<uint8_t> out;
    if (state_ == State::Ended || now < deadline_) {
        return out;
    }
    if (held_ != Held::Nothing) {
        Release(std::exchange(held_, Held::Nothing), now, out);
    } else if (state_ == State::Cancelling) {
        End(result_);
    } else if (state_ == State::WaitingForReceiver) {
        End(TransferResult::ReceiverNeverStarted);
    } else if (InBatchEnd()) {
        // The ACK of EOT said the file arrived; a receiver may end without asking for the rest,
        // or without its last ACK reaching the line (lrzsz's rb empties its output as it ends).
        End(TransferResult::Completed);
    } else {
        OnSilence(now, out);
    }
    return out;
}

std::vector<uint8_t> TransferSender::Cancel(TimePoint now) {
    std::vector<uint8_t> out;
    if (state_ == State::Ended || state_ == State::Cancelling) {
        return out;
    }
    out.insert(out.end(), kCancelLength, kCan);
    state_ = State::Cancelling;
    result_ = TransferResult::UserCancelled;
    held_ = Held::Nothing;
    deadline_ = now + kCancelLinger;
    return out;
}

bool TransferSender::OnAnswer(uint8_t byte, TimePoint now, std::vector<uint8_t>& out) {
    if (held_ != Held::Nothing) {
        return false;  // sent before the receiver saw what is held
    }
    switch (state_) {
        case State::WaitingForReceiver:
        case State::WaitingForData:
        case State::WaitingForBatchEnd:
            OnStartRequest(byte, now);
            return false;
        case State::SentHeader:
        case State::SentData:
        case State::SentEot:
        case State::SentBatchEnd:
            if (byte == kAck) {
                return OnAck(now, out);
            }
            // A receiver waiting for a block 0 asks again with 'C' (lrzsz's rb drops what came
            // before its request): the block goes out again.
            if (byte == kNak || (byte == kCrcRequest && IsBlockZero())) {
                OnRefusal(now, out);
                return true;
            }
            return false;
        case State::Cancelling:
            if (byte == kAck || byte == kNak || byte == kCrcRequest) {
                held_ = Held::Cancel;
                deadline_ = now + kRequestSettle;
                return true;
            }
            return false;
        case State::Ended:
            return false;
    }
    return false;
}

void TransferSender::OnStartRequest(uint8_t byte, TimePoint now) {
    if ((byte != kNak && byte != kCrcRequest) || held_ != Held::Nothing) {
        return;
    }
    if (state_ == State::WaitingForReceiver) {
        check_ = byte == kCrcRequest ? CheckKind::Crc16 : CheckKind::Checksum;
        // 1K blocks only under a CRC: an 8-bit sum is too weak for them.
        blockSize_ = protocol_ != TransferProtocol::Xmodem && check_ == CheckKind::Crc16
                         ? kLongBlock
                         : kShortBlock;
    }
    held_ = Held::RequestAnswer;
    deadline_ = now + kRequestSettle;
}

void TransferSender::AnswerRequest(TimePoint now, std::vector<uint8_t>& out) {
    if (state_ == State::WaitingForReceiver && protocol_ == TransferProtocol::Ymodem) {
        SendHeader(now, out);
    } else if (state_ == State::WaitingForBatchEnd) {
        SendBatchEnd(now, out);
    } else {
        SendNextData(now, out);
    }
}

bool TransferSender::OnAck(TimePoint now, std::vector<uint8_t>& out) {
    switch (state_) {
        case State::SentHeader:
            Wait(State::WaitingForData, now);
            return false;
        case State::SentData:
            acknowledged_ += inFlight_;
            inFlight_ = 0;
            SendOrHold(Held::NextPacket, now, out);
            return true;
        case State::SentEot:
            if (protocol_ == TransferProtocol::Ymodem) {
                Wait(State::WaitingForBatchEnd, now);
                return false;
            }
            End(TransferResult::Completed);
            return false;
        default:
            End(TransferResult::Completed);
            return false;
    }
}

void TransferSender::OnRefusal(TimePoint now, std::vector<uint8_t>& out) {
    if (now - sentAt_ >= kLostPacketAnswer) {
        RaiseSettle();
    }
    if (CountRetry(out)) {
        SendOrHold(Held::SamePacket, now, out);
    }
}

void TransferSender::OnSilence(TimePoint now, std::vector<uint8_t>& out) {
    if (state_ == State::SentEot) {
        // Every data block is acknowledged: the receiver may have ended with the file, its ACK
        // of EOT lost.
        if (silentEnds_ == kEndRetries) {
            endConfirmed_ = false;
            End(TransferResult::Completed);
            return;
        }
        ++silentEnds_;
    }
    if (!CountRetry(out)) {
        return;
    }
    // Waiting for the receiver's 'C', nothing went out to be lost: its request comes again by
    // itself.
    if (state_ == State::WaitingForData) {
        deadline_ = now + AnswerWait();
        return;
    }
    RaiseSettle();
    Resend(now, out);
}

void TransferSender::SendOrHold(Held what, TimePoint now, std::vector<uint8_t>& out) {
    if (packetSettle_ == Clock::duration::zero()) {
        Release(what, now, out);
        return;
    }
    held_ = what;
    deadline_ = now + packetSettle_;
}

void TransferSender::Release(Held what, TimePoint now, std::vector<uint8_t>& out) {
    switch (what) {
        case Held::RequestAnswer:
            AnswerRequest(now, out);
            break;
        case Held::NextPacket:
            SendNextData(now, out);
            break;
        case Held::SamePacket:
            Resend(now, out);
            break;
        case Held::Cancel:
            Abort(result_, out);
            break;
        case Held::Nothing:
            break;
    }
}

void TransferSender::RaiseSettle() {
    packetSettle_ = packetSettle_ == Clock::duration::zero()
                        ? Clock::duration(kFirstPacketSettle)
                        : std::min<Clock::duration>(2 * packetSettle_, kMaxPacketSettle);
}

void TransferSender::SendHeader(TimePoint now, std::vector<uint8_t>& out) {
    Send(State::SentHeader, BuildPacket(0, header_, check_), now, out);
}

void TransferSender::SendNextData(TimePoint now, std::vector<uint8_t>& out) {
    const uint64_t left = file_.size - acknowledged_;
    if (left == 0) {
        Send(State::SentEot, {kEot}, now, out);
        return;
    }
    const size_t length = blockSize_ == kLongBlock && left > kShortBlock ? kLongBlock : kShortBlock;
    inFlight_ = std::min<uint64_t>(left, length);
    std::vector<uint8_t> data(length, kCpmEof);
    if (!source_.ReadAt(acknowledged_, std::span(data).first(inFlight_))) {
        Abort(TransferResult::FileUnreadable, out);
        return;
    }
    Send(State::SentData, BuildPacket(nextBlock_++, data, check_), now, out);
}

void TransferSender::SendBatchEnd(TimePoint now, std::vector<uint8_t>& out) {
    Send(State::SentBatchEnd, BuildPacket(0, BuildBatchEnd(), check_), now, out);
}

void TransferSender::Send(State state, std::vector<uint8_t> bytes, TimePoint now,
                          std::vector<uint8_t>& out) {
    out.insert(out.end(), bytes.begin(), bytes.end());
    sent_ = std::move(bytes);
    sentAt_ = now;
    Wait(state, now);
}

void TransferSender::Wait(State state, TimePoint now) {
    state_ = state;
    retries_ = 0;
    silentEnds_ = 0;
    held_ = Held::Nothing;
    deadline_ = now + AnswerWait();
}

TransferSender::Clock::duration TransferSender::AnswerWait() const {
    const bool fileThrough = InBatchEnd() || state_ == State::SentEot;
    return fileThrough ? Clock::duration(kEndTimeout) : Clock::duration(kAnswerTimeout);
}

void TransferSender::Resend(TimePoint now, std::vector<uint8_t>& out) {
    out.insert(out.end(), sent_.begin(), sent_.end());
    sentAt_ = now;
    deadline_ = now + AnswerWait();
}

bool TransferSender::CountRetry(std::vector<uint8_t>& out) {
    if (retries_ < kMaxRetries) {
        ++retries_;
        return true;
    }
    if (InBatchEnd()) {
        End(TransferResult::Completed);
    } else {
        Abort(TransferResult::ReceiverStoppedAnswering, out);
    }
    return false;
}

bool TransferSender::IsBlockZero() const {
    return state_ == State::SentHeader || state_ == State::SentBatchEnd;
}

bool TransferSender::InBatchEnd() const {
    return state_ == State::WaitingForBatchEnd || state_ == State::SentBatchEnd;
}

void TransferSender::End(TransferResult result) {
    state_ = State::Ended;
    held_ = Held::Nothing;
    result_ = result;
    deadline_ = TimePoint::max();
    sent_.clear();
}

void TransferSender::Abort(TransferResult result, std::vector<uint8_t>& out) {
    End(result);
    out.insert(out.end(), kCancelLength, kCan);
}

}  // namespace drel::transfer
