// Whole transfers against a receiver modelled on what boot loaders and lrzsz accept, with lost
// and refused packets on the way: the file arrives whole, in order, once.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "support/SeededBytes.h"
#include "transfer/TransferSender.h"

namespace {

using namespace drel::transfer;

// A receiver that answers each packet as a careful one does. It refuses every `nakEvery`th
// packet and ignores every `loseEvery`th (as if it never arrived), NAKs the first EOT of each
// file, and for YMODEM cuts the data at the size from block 0.
class ModelReceiver {
  public:
    ModelReceiver(TransferProtocol protocol, CheckKind check, int nakEvery, int loseEvery)
        : ymodem_(protocol == TransferProtocol::Ymodem),
          check_(check),
          nakEvery_(nakEvery),
          loseEvery_(loseEvery) {}

    std::vector<uint8_t> Request() const {
        return {check_ == CheckKind::Crc16 ? kCrcRequest : kNak};
    }

    // The answer to what the sender sent.
    std::vector<uint8_t> Answer(const std::vector<uint8_t>& sent) {
        ++packets_;
        if (loseEvery_ && packets_ % loseEvery_ == 0) {
            return {};
        }
        if (nakEvery_ && packets_ % nakEvery_ == 0) {
            return {kNak};
        }
        if (sent == std::vector<uint8_t>{kEot}) {
            return AnswerEot();
        }
        const auto packet = ParsePacket(sent, check_);
        if (!packet || packet->length != sent.size()) {
            ADD_FAILURE() << "malformed packet of " << sent.size() << " bytes";
            return {kCan, kCan};
        }
        return AnswerPacket(*packet);
    }

    bool Finished() const { return finished_; }
    const std::vector<uint8_t>& Data() const { return data_; }
    const std::string& Name() const { return name_; }

  private:
    std::vector<uint8_t> AnswerEot() {
        if (!eotRefused_) {
            eotRefused_ = true;
            return {kNak};
        }
        if (!ymodem_) {
            finished_ = true;
            return {kAck};
        }
        data_.resize(std::min<size_t>(data_.size(), size_));
        expectHeader_ = true;
        return {kAck, kCrcRequest};
    }

    std::vector<uint8_t> AnswerPacket(const ParsedPacket& packet) {
        if (ymodem_ && expectHeader_ && packet.blockNumber == 0) {
            expectHeader_ = false;
            if (packet.data[0] == 0) {
                finished_ = true;
                return {kAck};
            }
            name_ = reinterpret_cast<const char*>(packet.data.data());
            size_ =
                std::stoull(reinterpret_cast<const char*>(packet.data.data()) + name_.size() + 1);
            return {kAck, kCrcRequest};
        }
        if (packet.blockNumber == static_cast<uint8_t>(nextBlock_ - 1) && nextBlock_ != 1) {
            return {kAck};  // a copy of the block before: its ACK was lost
        }
        if (expectHeader_ && ymodem_) {
            ADD_FAILURE() << "data before block 0";
        }
        if (packet.blockNumber != nextBlock_) {
            ADD_FAILURE() << "block " << int(packet.blockNumber) << " out of order";
            return {kCan, kCan};
        }
        ++nextBlock_;
        data_.insert(data_.end(), packet.data.begin(), packet.data.end());
        return {kAck};
    }

    bool ymodem_;
    CheckKind check_;
    int nakEvery_;
    int loseEvery_;
    int packets_ = 0;
    bool expectHeader_ = true;
    bool eotRefused_ = false;
    bool finished_ = false;
    uint8_t nextBlock_ = 1;
    uint64_t size_ = 0;
    std::string name_;
    std::vector<uint8_t> data_;
};

// Runs a whole transfer; the fake clock moves only when the sender waits for a time-out.
TransferResult RunTransfer(TransferSender& sender, ModelReceiver& receiver) {
    TransferSender::TimePoint now{};
    sender.Start(now);
    auto sent = sender.Receive(receiver.Request(), now);
    for (int step = 0; !sender.Done() && step < 100000; ++step) {
        if (sent.empty()) {
            now = sender.NextDeadline();
            sent = sender.Tick(now);
            continue;
        }
        sent = sender.Receive(receiver.Answer(sent), now);
    }
    return sender.Result();
}

TEST(TransferEndToEndTest, EveryFileArrivesWholeWithAndWithoutLineFaults) {
    const size_t sizes[] = {0, 1, 127, 128, 129, 1024, 1025, 1 << 20};
    for (const auto protocol :
         {TransferProtocol::Xmodem, TransferProtocol::Xmodem1k, TransferProtocol::Ymodem}) {
        for (const auto check : {CheckKind::Crc16, CheckKind::Checksum}) {
            for (const bool faults : {false, true}) {
                for (const size_t size : sizes) {
                    SCOPED_TRACE(::testing::Message()
                                 << "protocol " << int(protocol) << ", check " << int(check)
                                 << ", faults " << faults << ", size " << size);
                    const auto file = drel::test::SeededBytes(size);
                    SpanSource source(file);
                    TransferSender sender(protocol, {"firmware.img", size, 0}, source);
                    ModelReceiver receiver(protocol, check, faults ? 5 : 0, faults ? 7 : 0);
                    ASSERT_EQ(RunTransfer(sender, receiver), TransferResult::Completed);
                    // A lost batch end is not sent again: the file was through.
                    EXPECT_TRUE(faults || receiver.Finished());
                    EXPECT_EQ(sender.Progress().acknowledged, size);
                    const auto& data = receiver.Data();
                    ASSERT_GE(data.size(), size);
                    EXPECT_TRUE(std::equal(file.begin(), file.end(), data.begin()));
                    // XMODEM has no size: what is past the file must be the padding.
                    EXPECT_TRUE(std::all_of(data.begin() + static_cast<std::ptrdiff_t>(size),
                                            data.end(), [](uint8_t b) { return b == kCpmEof; }));
                    if (protocol == TransferProtocol::Ymodem) {
                        EXPECT_EQ(data.size(), size);
                        EXPECT_EQ(receiver.Name(), "firmware.img");
                    }
                }
            }
        }
    }
}

}  // namespace
