#pragma once

// The Telnet layer of a network serial port: bytes from the server in, data and commands out,
// and the encodings of what goes to the server. No I/O: the port hands bytes in as they arrive,
// in any pieces.
//
// 0xFF (IAC) starts a command; a data byte 0xFF travels doubled, also inside a sub-negotiation.
// Until the server has agreed to send binary, a CR it sends is followed by NUL or LF, and the
// NUL is no data; once binary, every byte is data.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace drel::platform::telnet {

inline constexpr uint8_t kIac = 255;
inline constexpr uint8_t kDont = 254;
inline constexpr uint8_t kDo = 253;
inline constexpr uint8_t kWont = 252;
inline constexpr uint8_t kWill = 251;
inline constexpr uint8_t kSb = 250;
inline constexpr uint8_t kSe = 240;

inline constexpr uint8_t kOptionBinary = 0;
inline constexpr uint8_t kOptionSuppressGoAhead = 3;
inline constexpr uint8_t kOptionComPort = 44;

// A sub-negotiation longer than this is cut: no option drel speaks has more than a few bytes,
// and a server must not make the client hold whatever it sends.
inline constexpr size_t kMaxSubnegotiation = 256;

// A command the server sent: WILL, WONT, DO or DONT with its option, or a sub-negotiation with
// its payload (IACs undoubled, cut at kMaxSubnegotiation).
struct TelnetCommand {
    uint8_t verb = 0;  // kWill, kWont, kDo, kDont or kSb
    uint8_t option = 0;
    std::string payload;  // kSb only
};

class TelnetDecoder {
  public:
    // Takes bytes from the server, `count` at most: data goes to the end of `data`, and the
    // first command completed ends the call, in `command`, as it can change how the bytes after
    // it are read (binary). Returns how many bytes it took. A command cut by the end of `bytes`
    // completes with the next call. Never fails: bytes that break the protocol are taken as
    // data or dropped. One thread at a time.
    size_t Feed(const uint8_t* bytes, size_t count, std::string& data,
                std::optional<TelnetCommand>& command);

    // Whether the server sends binary: set once it has agreed to.
    void SetBinary(bool binary) { binary_ = binary; }

  private:
    enum class State { Data, DataAfterCr, Iac, Verb, SubOption, Sub, SubIac };

    void TakeData(uint8_t byte, std::string& data);
    void TakeIac(uint8_t byte, std::string& data);
    void TakeSub(uint8_t byte);
    void TakeSubIac(uint8_t byte, std::string& data, std::optional<TelnetCommand>& command);

    State state_ = State::Data;
    bool binary_ = false;
    TelnetCommand pending_;
};

// `count` data bytes as they travel to the server: 0xFF doubled, and until the server has agreed
// to take binary (`binary` false) a CR followed by NUL.
std::string EncodeData(const uint8_t* bytes, size_t count, bool binary);

// IAC `verb` `option`.
std::string EncodeCommand(uint8_t verb, uint8_t option);

// IAC SB `option` `payload` IAC SE, with 0xFF in the payload doubled.
std::string EncodeSubnegotiation(uint8_t option, const std::string& payload);

}  // namespace drel::platform::telnet
