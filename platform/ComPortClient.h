#pragma once

// The client side of a serial port served over Telnet with the COM-PORT-OPTION (RFC 2217): the
// negotiation, the line settings as commands, and what the server reports back. No I/O: the
// network port sends what this returns and hands in what the server sends, in any pieces.
//
// The client offers and asks for BINARY and SUPPRESS-GO-AHEAD both ways and offers the COM-PORT
// option; the server's DO COM-PORT-OPTION makes the line settings its to carry out. Each setting
// the server answers with a different value than asked is told once, as a notice for the user; a
// setting never answered (some servers leave SET-CONTROL unanswered on a pseudo-terminal) is no
// fault. The server's NOTIFY-LINESTATE and NOTIFY-MODEMSTATE use the bits of the local port's
// line errors (CE_*) and modem inputs (MS_*_ON). One thread at a time.

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/TelnetCodec.h"

namespace drel::platform {

enum class ComPortParity : uint8_t { None = 1, Odd = 2, Even = 3, Mark = 4, Space = 5 };
enum class ComPortStopBits : uint8_t { One = 1, Two = 2, OneAndHalf = 3 };
enum class ComPortFlow : uint8_t { None = 1, XonXoff = 2, Hardware = 3 };

class ComPortClient {
  public:
    enum class Agreement { Pending, Agreed, Refused };

    // What the server's bytes gave.
    struct Received {
        std::string data;   // the serial line's bytes
        std::string reply;  // what to send back to the server at once
        // When the server answered a purge of what its line received: how many bytes of `data`
        // came before its last such answer, sent before the purge was carried out.
        std::optional<size_t> dataBeforePurge;
    };

    // The opening negotiation, to send as soon as the connection stands.
    std::string Open();

    // Takes `count` bytes from the server, adding to `out`.
    void Receive(const uint8_t* bytes, size_t count, Received& out);

    // `count` bytes of the serial line as they travel to the server.
    std::string EncodeData(const uint8_t* bytes, size_t count) const;

    // The line settings, each as the command to send.
    std::string SetBaudRate(uint32_t baud);
    std::string SetDataSize(uint8_t bits);
    std::string SetParity(ComPortParity parity);
    std::string SetStopBits(ComPortStopBits stopBits);
    std::string SetFlow(ComPortFlow flow);
    std::string SetDtr(bool on);
    std::string SetRts(bool on);
    std::string SetBreak(bool on);
    // Discards what the server's port holds to receive and/or to send.
    std::string Purge(bool receive, bool transmit);

    // How many purges the server has answered: carried out, so its line's bytes from then on
    // come after the purge.
    uint32_t PurgesAnswered() const { return purgesAnswered_; }

    // Whether the server has taken the COM-PORT option, refused it, or not answered yet.
    Agreement ComPortAgreement() const { return comPort_; }

    // The modem inputs last reported (MS_*_ON bits); false when none was.
    bool ModemState(uint32_t& state) const;
    // The line errors reported since the last call (CE_* bits), cleared.
    uint32_t TakeLineErrors();
    // The notices for the user since the last call, each told once: the settings the server did
    // not take, and its refusal of the COM-PORT option.
    std::vector<std::string> TakeNotices();

  private:
    enum class Side { No, WantYes, Yes };

    std::string Command(uint8_t command, const std::string& value);
    std::string Control(uint8_t value);
    void Negotiate(const telnet::TelnetCommand& command, Received& out);
    static void Settle(Side& side, bool agreed, uint8_t option, uint8_t yes, uint8_t no,
                       std::string& reply);
    void OnLocal(bool agreed, uint8_t option, Received& out);
    void OnRemote(bool agreed, uint8_t option, Received& out);
    void OnComPortAnswer(const std::string& payload, Received& out);
    void Notice(int kind, const std::string& text);

    telnet::TelnetDecoder decoder_;
    std::map<uint8_t, Side> local_;   // options we do, by option
    std::map<uint8_t, Side> remote_;  // options the server does, by option
    Agreement comPort_ = Agreement::Pending;
    std::map<int, uint32_t> asked_;  // the value last asked, by setting kind
    std::set<int> told_;             // the setting kinds told once already
    std::vector<std::string> notices_;
    bool hasModemState_ = false;
    uint32_t modemState_ = 0;
    uint32_t lineErrors_ = 0;
    uint32_t purgesAnswered_ = 0;
};

}  // namespace drel::platform
