// The sender's answers to the receiver, its time-outs on a fake clock, its retries and the ways
// a transfer ends.

#include <gtest/gtest.h>

#include <numeric>
#include <string>
#include <vector>

#include "transfer/TransferSender.h"

namespace {

using namespace drel::transfer;
using namespace std::chrono_literals;
using Sender = TransferSender;

std::vector<uint8_t> Pattern(size_t size) {
    std::vector<uint8_t> bytes(size);
    std::iota(bytes.begin(), bytes.end(), uint8_t{0});
    return bytes;
}

// A sender of `size` bytes on a fake clock, started at time zero.
class SenderTest : public ::testing::Test {
  protected:
    void Make(TransferProtocol protocol, size_t size, std::string name = "image.bin") {
        file_ = Pattern(size);
        source_ = std::make_unique<SpanSource>(file_);
        sender_ =
            std::make_unique<Sender>(protocol, TransferFile{name, size, 1700000000}, *source_);
        sender_->Start(now_);
    }

    // Hands in the receiver's bytes; an answer the sender holds back a moment (YMODEM's to a
    // 'C') is let out.
    std::vector<uint8_t> Feed(std::string_view bytes) {
        auto sent = sender_->Receive(
            std::span(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()), now_);
        if (sent.empty() && sender_->NextDeadline() <= now_ + Sender::kRequestSettle) {
            sent = TimeOut();
        }
        return sent;
    }

    // Moves the clock to the sender's next deadline and ticks it.
    std::vector<uint8_t> TimeOut() {
        now_ = sender_->NextDeadline();
        return sender_->Tick(now_);
    }

    std::vector<uint8_t> file_;
    std::unique_ptr<SpanSource> source_;
    std::unique_ptr<Sender> sender_;
    Sender::TimePoint now_{};
};

const std::string kAckS(1, static_cast<char>(kAck));
const std::string kNakS(1, static_cast<char>(kNak));
const std::string kCanS(1, static_cast<char>(kCan));
const std::vector<uint8_t> kEotPacket{kEot};
const std::vector<uint8_t> kCancel(Sender::kCancelLength, kCan);

TEST_F(SenderTest, TheReceiversRequestChoosesCheckAndBlockSize) {
    struct Case {
        TransferProtocol protocol;
        std::string request;
        uint8_t start;
        size_t length;
        uint8_t block;
    };
    const Case cases[] = {
        {TransferProtocol::Xmodem, kNakS, kSoh, 132, 1},
        {TransferProtocol::Xmodem, "C", kSoh, 133, 1},
        {TransferProtocol::Xmodem1k, "C", kStx, 1029, 1},
        {TransferProtocol::Xmodem1k, kNakS, kSoh, 132, 1},  // no 1K blocks under a checksum
        {TransferProtocol::Ymodem, "C", kSoh, 133, 0},
        {TransferProtocol::Ymodem, "junk\r\nC", kSoh, 133, 0},
    };
    for (const Case& c : cases) {
        Make(c.protocol, 5000);
        const auto sent = Feed(c.request);
        ASSERT_EQ(sent.size(), c.length) << c.request;
        EXPECT_EQ(sent[0], c.start);
        EXPECT_EQ(sent[1], c.block);
    }
}

TEST_F(SenderTest, TheLastBlocksSizeFollowsWhatIsLeft) {
    struct Case {
        TransferProtocol protocol;
        size_t size;
        std::vector<size_t> blocks;
    };
    const Case cases[] = {
        {TransferProtocol::Xmodem, 300, {128, 128, 128}},
        {TransferProtocol::Xmodem1k, 128, {128}},
        {TransferProtocol::Xmodem1k, 129, {1024}},
        {TransferProtocol::Xmodem1k, 1025, {1024, 128}},
        {TransferProtocol::Ymodem, 1200, {1024, 1024}},
        {TransferProtocol::Ymodem, 2048, {1024, 1024}},
    };
    for (const Case& c : cases) {
        Make(c.protocol, c.size);
        auto sent = Feed("C");
        if (c.protocol == TransferProtocol::Ymodem) {
            sent = Feed(kAckS + "C");
        }
        std::vector<size_t> blocks;
        uint64_t offset = 0;
        while (sent.size() > 1) {
            const auto packet = ParsePacket(sent, CheckKind::Crc16);
            ASSERT_TRUE(packet);
            blocks.push_back(packet->data.size());
            const size_t real = std::min<size_t>(packet->data.size(), c.size - offset);
            EXPECT_TRUE(std::equal(file_.begin() + offset, file_.begin() + offset + real,
                                   packet->data.begin()));
            EXPECT_TRUE(std::all_of(packet->data.begin() + real, packet->data.end(),
                                    [](uint8_t b) { return b == kCpmEof; }));
            offset += real;
            sent = Feed(kAckS);
        }
        EXPECT_EQ(sent, kEotPacket);
        EXPECT_EQ(blocks, c.blocks) << c.size;
    }
}

TEST_F(SenderTest, AReceiverThatNeverStartsEndsTheTransferAfterAMinute) {
    Make(TransferProtocol::Ymodem, 10);
    EXPECT_EQ(sender_->NextDeadline(), now_ + 60s);
    now_ += 59s;
    EXPECT_TRUE(sender_->Tick(now_).empty());
    EXPECT_FALSE(Feed("\r\nU-Boot> ").size());
    EXPECT_FALSE(sender_->Done());
    EXPECT_TRUE(TimeOut().empty());  // nothing to stop: it never started
    EXPECT_EQ(sender_->Result(), TransferResult::ReceiverNeverStarted);
}

TEST_F(SenderTest, EachStepIsRetriedTenTimesThenAbandoned) {
    struct Case {
        const char* name;
        std::string reach;  // answers that bring the sender to the step
        bool resends;       // whether the step's packet goes out again
    };
    const Case cases[] = {
        {"header", "C", true},
        {"first 'C' after the header", "C" + kAckS, false},
        {"data", "C" + kAckS + "C", true},
    };
    for (const bool byNak : {true, false}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.name) + (byNak ? " by NAK" : " by time-out"));
            Make(TransferProtocol::Ymodem, 10);
            std::vector<uint8_t> last;
            for (const char answer : c.reach) {
                last = Feed(std::string(1, answer));
            }
            if (!c.resends && byNak) {
                continue;  // a NAK there is the request itself
            }
            for (int retry = 0; retry < Sender::kMaxRetries; ++retry) {
                const auto again = byNak ? Feed(kNakS) : TimeOut();
                EXPECT_EQ(again, c.resends ? last : std::vector<uint8_t>{});
            }
            EXPECT_FALSE(sender_->Done());
            EXPECT_EQ(byNak ? Feed(kNakS) : TimeOut(), kCancel);
            EXPECT_EQ(sender_->Result(), TransferResult::ReceiverStoppedAnswering);
        }
    }
}

TEST_F(SenderTest, ASilentReceiverAfterTheFileDoesNotFailIt) {
    // EOT's ACK said the file is through: the batch's end may go unasked for or unanswered.
    const std::string eotAcked = "C" + kAckS + "C" + kAckS + kAckS;
    for (const std::string& reach : {eotAcked, eotAcked + "C"}) {
        Make(TransferProtocol::Ymodem, 10);
        for (const char answer : reach) {
            Feed(std::string(1, answer));
        }
        EXPECT_LE(sender_->NextDeadline(), now_ + Sender::kEndTimeout);
        EXPECT_TRUE(TimeOut().empty());
        EXPECT_EQ(sender_->Result(), TransferResult::Completed);
    }
    // Refused, it goes out again as often as any packet.
    Make(TransferProtocol::Ymodem, 10);
    for (const char answer : eotAcked) {
        Feed(std::string(1, answer));
    }
    const auto batchEnd = Feed("C");
    for (int retry = 0; retry < Sender::kMaxRetries; ++retry) {
        EXPECT_EQ(Feed(kNakS), batchEnd);
    }
    EXPECT_TRUE(Feed(kNakS).empty());
    EXPECT_EQ(sender_->Result(), TransferResult::Completed);
}

TEST_F(SenderTest, ARepeatedRequestSendsBlockZeroAgainButNoDataBlock) {
    struct Case {
        std::string reach;
        bool again;
    };
    const Case cases[] = {
        {"", true},                                 // the header
        {"C" + kAckS, false},                       // block 1
        {"C" + kAckS + "C" + kAckS + kAckS, true},  // the batch's end
    };
    for (const Case& c : cases) {
        Make(TransferProtocol::Ymodem, 10);
        std::vector<uint8_t> last;
        for (const char answer : c.reach + "C") {
            last = Feed(std::string(1, answer));
        }
        EXPECT_EQ(Feed("C"), c.again ? last : std::vector<uint8_t>{}) << c.reach.size();
    }
}

TEST_F(SenderTest, ATimeOutWaitsItsFullTime) {
    Make(TransferProtocol::Xmodem, 10);
    const auto block = Feed(kNakS);
    now_ += 9s;
    EXPECT_TRUE(sender_->Tick(now_).empty());
    now_ += 1s;
    EXPECT_EQ(sender_->Tick(now_), block);
    EXPECT_EQ(sender_->NextDeadline(), now_ + 10s);
}

TEST_F(SenderTest, AnAckCountsOnceInAPieceOfAnswers) {
    // A second ACK in the same piece was sent before the receiver saw block 2: it must not
    // acknowledge it.
    Make(TransferProtocol::Xmodem, 1000);
    Feed(kNakS);
    const auto sent = Feed(kAckS + kAckS + kNakS);
    ASSERT_EQ(sent.size(), 132u);
    EXPECT_EQ(sent[1], 2);
    EXPECT_EQ(sender_->Progress().acknowledged, 128u);
    EXPECT_EQ(Feed(kNakS), sent);
}

TEST_F(SenderTest, TwoCansInARowFromTheReceiverEndTheTransfer) {
    struct Case {
        std::vector<std::string> pieces;
        bool cancelled;
    };
    const Case cases[] = {
        {{kCanS + kCanS}, true},         {{kCanS, kCanS}, true},
        {{kAckS + kCanS + kCanS}, true}, {{kCanS + "x" + kCanS}, false},
        {{kCanS, kAckS, kCanS}, false},
    };
    for (const Case& c : cases) {
        Make(TransferProtocol::Xmodem, 1000);
        Feed(kNakS);
        std::vector<uint8_t> last;
        for (const auto& piece : c.pieces) {
            last = Feed(piece);
        }
        EXPECT_EQ(sender_->Done(), c.cancelled);
        if (c.cancelled) {
            EXPECT_TRUE(last.empty());
            EXPECT_EQ(sender_->Result(), TransferResult::ReceiverCancelled);
        }
    }
}

TEST_F(SenderTest, TheUsersCancelSendsCansAgainOnceIfTheReceiverAnswers) {
    // The receiver was reading the packet out when the CANs went; it answers it, and a receiver
    // that empties its input after answering has lost them: they go again after the settle.
    Make(TransferProtocol::Ymodem, 1000);
    Feed("C");
    EXPECT_EQ(sender_->Cancel(now_), kCancel);
    EXPECT_EQ(sender_->Result(), TransferResult::UserCancelled);
    EXPECT_TRUE(sender_->Cancel(now_).empty());
    EXPECT_TRUE(sender_->Receive(std::span(&kAck, 1), now_).empty());
    EXPECT_EQ(sender_->NextDeadline(), now_ + Sender::kRequestSettle);
    EXPECT_TRUE(sender_->Receive(std::span(&kNak, 1), now_).empty());
    EXPECT_EQ(TimeOut(), kCancel);
    EXPECT_TRUE(sender_->Done());
    EXPECT_TRUE(Feed(kAckS + "C").empty());

    // A receiver that stops at once is not waited for longer than the linger; its own CANs end
    // the wait too, and the cancel stays the user's.
    Make(TransferProtocol::Ymodem, 1000);
    Feed("C");
    sender_->Cancel(now_);
    EXPECT_EQ(sender_->NextDeadline(), now_ + Sender::kCancelLinger);
    EXPECT_TRUE(TimeOut().empty());
    EXPECT_EQ(sender_->Result(), TransferResult::UserCancelled);
    Make(TransferProtocol::Ymodem, 1000);
    sender_->Cancel(now_);
    Feed(kCanS + kCanS);
    EXPECT_TRUE(sender_->Done());
    EXPECT_EQ(sender_->Result(), TransferResult::UserCancelled);
}

TEST_F(SenderTest, AFileThatCannotBeReadStopsTheReceiver) {
    // The source holds less than the size given: the file shrank after it was measured.
    file_ = Pattern(1500);
    SpanSource shrunk{std::span(file_).first(1100)};
    Sender sender(TransferProtocol::Xmodem1k, {"f", 1500, 0}, shrunk);
    sender.Start(now_);
    const std::string c = "C";
    sender.Receive(std::span(reinterpret_cast<const uint8_t*>(c.data()), 1), now_);
    const auto first = sender.Tick(sender.NextDeadline());
    EXPECT_EQ(first.size(), 1029u);
    const uint8_t ack = kAck;
    EXPECT_EQ(sender.Receive(std::span(&ack, 1), now_), kCancel);
    EXPECT_EQ(sender.Result(), TransferResult::FileUnreadable);
}

TEST_F(SenderTest, EotIsSentAgainWhenTheReceiverRefusesTheFirst) {
    Make(TransferProtocol::Xmodem, 10);
    Feed(kNakS);
    EXPECT_EQ(Feed(kAckS), kEotPacket);
    EXPECT_EQ(Feed(kNakS), kEotPacket);
    EXPECT_TRUE(Feed(kAckS).empty());
    EXPECT_EQ(sender_->Result(), TransferResult::Completed);
    EXPECT_EQ(sender_->Progress().acknowledged, 10u);
}

TEST_F(SenderTest, AnUnansweredEotEndsTheTransferUnconfirmed) {
    // Every data block is acknowledged; a receiver that ended with the file may have lost its
    // ACK of EOT (lrzsz's rx empties its output as it exits).
    Make(TransferProtocol::Xmodem, 10);
    Feed(kNakS);
    ASSERT_EQ(Feed(kAckS), kEotPacket);
    for (int retry = 0; retry < Sender::kEndRetries; ++retry) {
        EXPECT_EQ(sender_->NextDeadline(), now_ + Sender::kEndTimeout);
        EXPECT_EQ(TimeOut(), kEotPacket);
    }
    EXPECT_TRUE(TimeOut().empty());
    EXPECT_EQ(sender_->Result(), TransferResult::Completed);
    EXPECT_FALSE(sender_->EndConfirmed());

    // Refused EOTs are retried as any packet is, and a late ACK confirms the end.
    Make(TransferProtocol::Xmodem, 10);
    Feed(kNakS);
    Feed(kAckS);
    for (int retry = 0; retry < Sender::kMaxRetries; ++retry) {
        EXPECT_EQ(Feed(kNakS), kEotPacket);
    }
    EXPECT_TRUE(Feed(kAckS).empty());
    EXPECT_EQ(sender_->Result(), TransferResult::Completed);
    EXPECT_TRUE(sender_->EndConfirmed());
    Make(TransferProtocol::Xmodem, 10);
    Feed(kNakS);
    Feed(kAckS);
    for (int retry = 0; retry <= Sender::kMaxRetries; ++retry) {
        Feed(kNakS);
    }
    EXPECT_EQ(sender_->Result(), TransferResult::ReceiverStoppedAnswering);
}

TEST_F(SenderTest, PacketsWaitAfterTheAnswerOnceOneWasLostWhole) {
    Make(TransferProtocol::Xmodem, 128 * 20);
    Feed(kNakS);
    // A damaged packet, refused at once, costs no settle.
    const auto block2 = Feed(kAckS);
    EXPECT_EQ(block2[1], 2);
    EXPECT_EQ(sender_->Receive(std::span(&kNak, 1), now_), block2);
    // A NAK long after its packet: the receiver never saw it. The packet goes out again a settle
    // later, and so does each next one; answers meanwhile were sent before it and count for
    // nothing.
    now_ += Sender::kLostPacketAnswer;
    EXPECT_TRUE(sender_->Receive(std::span(&kNak, 1), now_).empty());
    EXPECT_EQ(sender_->NextDeadline(), now_ + Sender::kFirstPacketSettle);
    EXPECT_TRUE(sender_->Receive(std::span(&kNak, 1), now_).empty());
    EXPECT_EQ(TimeOut(), block2);
    EXPECT_TRUE(sender_->Receive(std::span(&kAck, 1), now_).empty());
    EXPECT_EQ(sender_->NextDeadline(), now_ + Sender::kFirstPacketSettle);
    EXPECT_EQ(TimeOut()[1], 3);
    // Each packet lost whole doubles the settle, up to its limit.
    auto settle = std::chrono::duration_cast<Sender::Clock::duration>(Sender::kFirstPacketSettle);
    for (int loss = 0; loss < 6; ++loss) {
        EXPECT_EQ(TimeOut()[1], 3 + loss) << "sent again at once after the time-out";
        settle = std::min<Sender::Clock::duration>(2 * settle, Sender::kMaxPacketSettle);
        EXPECT_TRUE(sender_->Receive(std::span(&kAck, 1), now_).empty());
        EXPECT_EQ(sender_->NextDeadline(), now_ + settle);
        EXPECT_EQ(TimeOut()[1], 4 + loss);
    }
    EXPECT_EQ(settle, Sender::kMaxPacketSettle);
}

TEST_F(SenderTest, AnEmptyYmodemFileIsHeaderEotAndBatchEnd) {
    Make(TransferProtocol::Ymodem, 0, "empty");
    const auto header = ParsePacket(Feed("C"), CheckKind::Crc16);
    ASSERT_TRUE(header);
    EXPECT_EQ(header->blockNumber, 0);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(header->data.data())), "empty");
    EXPECT_EQ(Feed(kAckS + "C"), kEotPacket);
    EXPECT_TRUE(Feed(kAckS).empty());
    EXPECT_EQ(sender_->CurrentState(), Sender::State::WaitingForBatchEnd);
    const auto end = ParsePacket(Feed("C"), CheckKind::Crc16);
    ASSERT_TRUE(end);
    EXPECT_EQ(end->blockNumber, 0);
    EXPECT_EQ(end->data, BuildBatchEnd());
    EXPECT_FALSE(sender_->Done());
    Feed(kAckS);
    EXPECT_EQ(sender_->Result(), TransferResult::Completed);
}

TEST_F(SenderTest, ANameBlockZeroCannotCarryEndsBeforeAnythingIsSent) {
    Make(TransferProtocol::Ymodem, 10, "");
    EXPECT_EQ(sender_->Result(), TransferResult::BadFileName);
    EXPECT_TRUE(Feed("C").empty());
    Make(TransferProtocol::Xmodem, 10, "");  // XMODEM sends no name
    EXPECT_FALSE(Feed("C").empty());
}

TEST_F(SenderTest, ProgressCountsAcknowledgedBytesOnly) {
    Make(TransferProtocol::Xmodem1k, 3000);
    Feed("C");
    EXPECT_EQ(sender_->Progress().acknowledged, 0u);
    EXPECT_EQ(sender_->Progress().total, 3000u);
    Feed(kNakS);
    Feed(kAckS);
    EXPECT_EQ(sender_->Progress().acknowledged, 1024u);
    Feed(kAckS);
    Feed(kAckS);
    EXPECT_EQ(sender_->Progress().acknowledged, 3000u);
}

}  // namespace
