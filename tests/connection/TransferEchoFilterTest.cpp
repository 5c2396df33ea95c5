// What the terminal shows of a receiver's bytes during a file transfer and just after it.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "connection/TransferEchoFilter.h"

namespace {

using drel::TransferEchoFilter;

// A piece of the receiver's bytes and whether a transfer ran when it came.
struct Piece {
    std::string bytes;
    bool transferring;
};

std::string Shown(const std::vector<Piece>& pieces) {
    TransferEchoFilter echo;
    std::string shown;
    for (Piece piece : pieces) {
        auto* bytes = reinterpret_cast<uint8_t*>(piece.bytes.data());
        const int kept =
            echo.Filter(bytes, static_cast<int>(piece.bytes.size()), piece.transferring);
        shown.append(piece.bytes.data(), static_cast<size_t>(kept));
    }
    return shown;
}

const std::string kCans(10, '\x18');
const std::string kBackspaces(10, '\b');

TEST(TransferEchoFilterTest, LeavesOutTheProtocolAndTheErasureOfItsCans) {
    const struct {
        const char* what;
        std::vector<Piece> pieces;
        std::string shown;
    } cases[] = {
        {"answers",
         {{"\x06\x15"
           "C\x06ok",
           true}},
         "ok"},
        {"a receiver's cancel", {{kCans + kBackspaces, true}}, ""},
        {"its backspaces after the end",
         {{kCans.substr(0, 4), true}, {kCans.substr(4) + kBackspaces + "U-Boot> ", false}},
         kCans.substr(4) + std::string(6, '\b') + "U-Boot> "},
        {"the board's own backspaces", {{"\x18\x18", true}, {"x\b", false}}, "x\b"},
        {"no transfer",
         {{"\x06\x18\b"
           "C",
           false}},
         "\x06\x18\b"
         "C"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Shown(c.pieces), c.shown) << c.what;
    }
}

}  // namespace
