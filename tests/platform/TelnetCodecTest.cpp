// The Telnet layer of a network port: data and commands come out the same however the server's
// bytes are cut, 0xFF travels doubled both ways, and a server cannot make the client hold more
// than a bounded sub-negotiation.

#include "platform/TelnetCodec.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace drel::platform::telnet {
namespace {

struct Decoded {
    std::string data;
    std::vector<TelnetCommand> commands;
};

// Feeds `bytes` in pieces of `piece` bytes, as the network may hand them over.
Decoded Decode(const std::string& bytes, size_t piece, bool binary = true) {
    TelnetDecoder decoder;
    decoder.SetBinary(binary);
    Decoded decoded;
    const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
    for (size_t at = 0; at < bytes.size();) {
        const size_t end = std::min(bytes.size(), at + piece);
        std::optional<TelnetCommand> command;
        at += decoder.Feed(data + at, end - at, decoded.data, command);
        if (command) {
            decoded.commands.push_back(*command);
        }
    }
    return decoded;
}

std::string Bytes(std::initializer_list<int> values) {
    std::string bytes;
    for (const int value : values) {
        bytes += static_cast<char>(value);
    }
    return bytes;
}

TEST(TelnetCodecTest, DataAndCommandsComeOutTheSameHoweverTheBytesAreCut) {
    const std::string stream = "ab" + Bytes({kIac, kIac}) + "c" + Bytes({kIac, kWill, 0}) + "d" +
                               Bytes({kIac, kSb, 44, 101, 0, 1, kIac, kIac, kIac, kSe}) +
                               Bytes({kIac, 241}) + "e" + Bytes({kIac, kDont, 3});
    for (size_t piece = 1; piece <= stream.size(); ++piece) {
        SCOPED_TRACE(piece);
        const Decoded decoded = Decode(stream, piece);
        EXPECT_EQ(decoded.data,
                  "ab\xff"
                  "cde");
        ASSERT_EQ(decoded.commands.size(), 3u);
        EXPECT_EQ(decoded.commands[0].verb, kWill);
        EXPECT_EQ(decoded.commands[0].option, 0);
        EXPECT_EQ(decoded.commands[1].verb, kSb);
        EXPECT_EQ(decoded.commands[1].option, 44);
        EXPECT_EQ(decoded.commands[1].payload, Bytes({101, 0, 1, kIac}));
        EXPECT_EQ(decoded.commands[2].verb, kDont);
        EXPECT_EQ(decoded.commands[2].option, 3);
    }
}

TEST(TelnetCodecTest, EveryByteValueTravelsBothWaysExactly) {
    std::string all;
    for (int value = 0; value < 256; ++value) {
        all += static_cast<char>(value);
    }
    all += all;
    const auto* bytes = reinterpret_cast<const uint8_t*>(all.data());
    const std::string encoded = EncodeData(bytes, all.size(), true);
    EXPECT_EQ(encoded.size(), all.size() + 2);  // each 0xFF doubled
    EXPECT_EQ(Decode(encoded, 7).data, all);

    // Outside binary a CR travels as CR NUL, and the NUL is no data.
    const std::string text = "a\rb\r\n";
    const std::string nvt = EncodeData(reinterpret_cast<const uint8_t*>(text.data()), 5, false);
    EXPECT_EQ(nvt, std::string("a\r\0b\r\0\n", 7));
    EXPECT_EQ(Decode(nvt, 1, false).data, text);
    EXPECT_EQ(Decode(nvt, 1, true).data, nvt);
}

TEST(TelnetCodecTest, SubnegotiationsEncodeDoubledAndDecodeBounded) {
    EXPECT_EQ(EncodeSubnegotiation(44, Bytes({1, 0, 0, kIac, kIac})),
              Bytes({kIac, kSb, 44, 1, 0, 0, kIac, kIac, kIac, kIac, kIac, kSe}));
    EXPECT_EQ(EncodeCommand(kDo, 3), Bytes({kIac, kDo, 3}));

    // A server that never ends its sub-negotiation is held to kMaxSubnegotiation bytes; the
    // next command ends it, and data goes on.
    const std::string endless =
        Bytes({kIac, kSb, 44}) + std::string(100000, 'x') + Bytes({kIac, kWont, 0}) + "after";
    const Decoded decoded = Decode(endless, 4096);
    ASSERT_EQ(decoded.commands.size(), 2u);
    EXPECT_EQ(decoded.commands[0].payload.size(), kMaxSubnegotiation);
    EXPECT_EQ(decoded.commands[1].verb, kWont);
    EXPECT_EQ(decoded.data, "after");
}

}  // namespace
}  // namespace drel::platform::telnet
