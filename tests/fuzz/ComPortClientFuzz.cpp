// Fuzzes the client of a port served over Telnet with the COM-PORT option: the input is what a
// server sends. Its first byte chooses the size of the pieces the rest arrives in. Checked:
// - the same bytes give the same data, replies, agreement, notices and reports whether they come
//   whole or in pieces;
// - the data is never longer than what came, and the replies stay in proportion to it (no
//   negotiation loop);
// - the data, sent back through the client's own encoding, decodes to itself.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "FuzzCheck.h"
#include "platform/ComPortClient.h"

namespace {

using drel::fuzz::Require;
using drel::platform::ComPortClient;
namespace telnet = drel::platform::telnet;

struct Outcome {
    ComPortClient::Received received;
    ComPortClient::Agreement agreement;
    std::vector<std::string> notices;
    uint32_t lineErrors;
    bool hasModemState;
    uint32_t modemState;
};

Outcome Serve(const uint8_t* bytes, size_t size, size_t piece, ComPortClient& client) {
    Outcome outcome{};
    client.Open();
    // Settings asked, so that answers are set against something.
    client.SetBaudRate(115200);
    client.SetFlow(drel::platform::ComPortFlow::Hardware);
    client.SetDtr(true);
    for (size_t at = 0; at < size; at += piece) {
        client.Receive(bytes + at, std::min(piece, size - at), outcome.received);
    }
    outcome.agreement = client.ComPortAgreement();
    outcome.notices = client.TakeNotices();
    outcome.lineErrors = client.TakeLineErrors();
    outcome.hasModemState = client.ModemState(outcome.modemState);
    return outcome;
}

std::string DecodeBinary(const std::string& encoded) {
    telnet::TelnetDecoder decoder;
    decoder.SetBinary(true);
    std::string data;
    const auto* bytes = reinterpret_cast<const uint8_t*>(encoded.data());
    for (size_t at = 0; at < encoded.size();) {
        std::optional<telnet::TelnetCommand> command;
        at += decoder.Feed(bytes + at, encoded.size() - at, data, command);
        Require(!command, "doubled data holds no command");
    }
    return data;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) {
        return 0;
    }
    const size_t piece = 1 + data[0] % 16;
    ComPortClient whole;
    ComPortClient cut;
    const Outcome a = Serve(data + 1, size - 1, size, whole);
    const Outcome b = Serve(data + 1, size - 1, piece, cut);
    Require(a.received.data == b.received.data, "data does not depend on the pieces");
    Require(a.received.reply == b.received.reply, "replies do not depend on the pieces");
    Require(a.agreement == b.agreement && a.notices == b.notices && a.lineErrors == b.lineErrors &&
                a.hasModemState == b.hasModemState && a.modemState == b.modemState,
            "the client's state does not depend on the pieces");
    Require(a.received.data.size() <= size - 1, "no more data than came");
    Require(a.received.reply.size() <= 12 * size, "replies stay in proportion");
    const std::string& got = a.received.data;
    const std::string encoded = drel::platform::telnet::EncodeData(
        reinterpret_cast<const uint8_t*>(got.data()), got.size(), true);
    Require(DecodeBinary(encoded) == got, "data travels back unchanged");
    return 0;
}
