#include "platform/ComPortClient.h"

#include "platform/CommTypes.h"

namespace drel::platform {

namespace {

using namespace telnet;

// The commands of the COM-PORT option; the server answers each with the code plus 100.
constexpr uint8_t kSetBaudRate = 1;
constexpr uint8_t kSetDataSize = 2;
constexpr uint8_t kSetParity = 3;
constexpr uint8_t kSetStopSize = 4;
constexpr uint8_t kSetControl = 5;
constexpr uint8_t kNotifyLineState = 6;
constexpr uint8_t kNotifyModemState = 7;
constexpr uint8_t kSetLineStateMask = 10;
constexpr uint8_t kPurgeData = 12;
constexpr uint8_t kPurgeReceived = 1;
constexpr uint8_t kPurgeSent = 2;
constexpr uint8_t kPurgeBoth = 3;
constexpr uint8_t kServerOffset = 100;

// The line errors the server is asked to report: overrun, parity, framing, break. The bits are
// those of the local port's CE_* errors.
constexpr uint8_t kReportedLineErrors = 0x1E;
static_assert(kReportedLineErrors == (CE_OVERRUN | CE_RXPARITY | CE_FRAME | CE_BREAK));
// The modem state's upper half: CTS, DSR, RI, DCD, the bits of MS_*_ON.
constexpr uint8_t kModemInputs = 0xF0;
static_assert(kModemInputs == (MS_CTS_ON | MS_DSR_ON | MS_RING_ON | MS_RLSD_ON));

// SET-CONTROL's values fall into groups that each set one thing; an answer is set against what
// was asked of its group. Inbound flow control (13 to 19) is never asked.
enum ControlGroup { kFlow, kBreak, kDtr, kRts, kInbound };

ControlGroup GroupOf(uint8_t value) {
    if (value <= 3) {
        return kFlow;
    }
    if (value <= 6) {
        return kBreak;
    }
    if (value <= 9) {
        return kDtr;
    }
    return value <= 12 ? kRts : kInbound;
}

// A setting's kind: the command, and for SET-CONTROL its group.
int KindOf(uint8_t command, uint8_t value) {
    return command == kSetControl ? 100 + GroupOf(value) : command;
}

std::string KindName(int kind) {
    switch (kind) {
        case kSetBaudRate:
            return "the baud rate";
        case kSetDataSize:
            return "the data bits";
        case kSetParity:
            return "the parity";
        case kSetStopSize:
            return "the stop bits";
        case 100 + kFlow:
            return "the flow control";
        case 100 + kBreak:
            return "the break";
        case 100 + kDtr:
            return "DTR";
        case 100 + kRts:
            return "RTS";
        default:
            return "a setting";
    }
}

// A setting's value as the user chose it.
std::string ValueText(int kind, uint32_t value) {
    static const char* const kParities[] = {"?", "none", "odd", "even", "mark", "space"};
    static const char* const kStopBits[] = {"?", "1", "2", "1.5"};
    static const char* const kFlows[] = {"?", "none", "XON/XOFF", "hardware"};
    switch (kind) {
        case kSetParity:
            return value <= 5 ? kParities[value] : std::to_string(value);
        case kSetStopSize:
            return value <= 3 ? kStopBits[value] : std::to_string(value);
        case 100 + kFlow:
            return value <= 3 ? kFlows[value] : std::to_string(value);
        case 100 + kBreak:
        case 100 + kDtr:
        case 100 + kRts:
            return value == 5 || value == 8 || value == 11 ? "on" : "off";
        default:
            return std::to_string(value);
    }
}

std::string BigEndian(uint32_t value) {
    return {static_cast<char>(value >> 24), static_cast<char>(value >> 16),
            static_cast<char>(value >> 8), static_cast<char>(value)};
}

uint32_t ReadBigEndian(const std::string& bytes, size_t at) {
    uint32_t value = 0;
    for (size_t i = at; i < at + 4; ++i) {
        value = (value << 8) | static_cast<uint8_t>(bytes[i]);
    }
    return value;
}

bool Supported(uint8_t option, bool local) {
    return option == kOptionBinary || option == kOptionSuppressGoAhead ||
           (local && option == kOptionComPort);
}

}  // namespace

std::string ComPortClient::Open() {
    std::string opening;
    for (const uint8_t option : {kOptionBinary, kOptionSuppressGoAhead, kOptionComPort}) {
        local_[option] = Side::WantYes;
        opening += EncodeCommand(kWill, option);
    }
    for (const uint8_t option : {kOptionBinary, kOptionSuppressGoAhead}) {
        remote_[option] = Side::WantYes;
        opening += EncodeCommand(kDo, option);
    }
    return opening;
}

void ComPortClient::Receive(const uint8_t* bytes, size_t count, Received& out) {
    std::optional<TelnetCommand> command;
    for (size_t at = 0; at < count;) {
        at += decoder_.Feed(bytes + at, count - at, out.data, command);
        if (command) {
            Negotiate(*command, out);
        }
    }
}

void ComPortClient::Negotiate(const TelnetCommand& command, Received& out) {
    switch (command.verb) {
        case kDo:
        case kDont:
            OnLocal(command.verb == kDo, command.option, out);
            break;
        case kWill:
        case kWont:
            OnRemote(command.verb == kWill, command.option, out);
            break;
        default:
            if (command.option == kOptionComPort) {
                OnComPortAnswer(command.payload, out);
            }
            break;
    }
}

// Moves one side of an option to the server's answer: agreed, it is on, and is offered (`yes`)
// when it was off; refused, it is off, and is taken back (`no`) when it was on. Answering only
// changes keeps the two ends from repeating each other for ever.
void ComPortClient::Settle(Side& side, bool agreed, uint8_t option, uint8_t yes, uint8_t no,
                           std::string& reply) {
    if (agreed && side == Side::No) {
        reply += EncodeCommand(yes, option);
    } else if (!agreed && side == Side::Yes) {
        reply += EncodeCommand(no, option);
    }
    side = agreed ? Side::Yes : Side::No;
}

// The server's DO or DONT for an option we would do: agreed, we do it (offering it once if we
// had not); refused, we stop. An option we do not know is refused.
void ComPortClient::OnLocal(bool agreed, uint8_t option, Received& out) {
    Side& side = local_[option];
    if (!Supported(option, true)) {
        if (agreed) {
            out.reply += EncodeCommand(kWont, option);
        }
        return;
    }
    const Side before = side;
    Settle(side, agreed, option, kWill, kWont, out.reply);
    if (option != kOptionComPort || before == side) {
        return;
    }
    comPort_ = agreed ? Agreement::Agreed : Agreement::Refused;
    if (agreed) {
        out.reply +=
            Command(kSetLineStateMask, std::string(1, static_cast<char>(kReportedLineErrors)));
    } else {
        Notice(0, "the server does not take line settings (it refused the COM-PORT option)");
    }
}

// The server's WILL or WONT: agreed, it does the option (asked for once if we had not); refused,
// it stops. An option we do not know is refused.
void ComPortClient::OnRemote(bool agreed, uint8_t option, Received& out) {
    Side& side = remote_[option];
    if (!Supported(option, false)) {
        if (agreed) {
            out.reply += EncodeCommand(kDont, option);
        }
        return;
    }
    Settle(side, agreed, option, kDo, kDont, out.reply);
    if (option == kOptionBinary) {
        decoder_.SetBinary(side == Side::Yes);
    }
}

void ComPortClient::OnComPortAnswer(const std::string& payload, Received& out) {
    if (payload.empty()) {
        return;
    }
    const auto code = static_cast<uint8_t>(payload[0]);
    if (code == kServerOffset + kPurgeData) {
        ++purgesAnswered_;
        // 1 and 3 purge what the server's line received (2 only what it was to send).
        const bool receivedPurged =
            payload.size() == 2 && (payload[1] == kPurgeReceived || payload[1] == kPurgeBoth);
        if (receivedPurged) {
            out.dataBeforePurge = out.data.size();
        }
        return;
    }
    if (code == kServerOffset + kNotifyLineState && payload.size() == 2) {
        lineErrors_ |= static_cast<uint8_t>(payload[1]) & kReportedLineErrors;
        return;
    }
    if (code == kServerOffset + kNotifyModemState && payload.size() == 2) {
        modemState_ = static_cast<uint8_t>(payload[1]) & kModemInputs;
        hasModemState_ = true;
        return;
    }
    if (code < kServerOffset + kSetBaudRate || code > kServerOffset + kSetControl) {
        return;  // answers to commands drel does not send
    }
    const uint8_t command = code - kServerOffset;
    const size_t length = command == kSetBaudRate ? 4 : 1;
    if (payload.size() != 1 + length) {
        return;
    }
    const uint32_t value =
        length == 4 ? ReadBigEndian(payload, 1) : static_cast<uint8_t>(payload[1]);
    const int kind = KindOf(command, static_cast<uint8_t>(value));
    const auto asked = asked_.find(kind);
    if (asked == asked_.end() || asked->second == value) {
        return;
    }
    Notice(kind, "the server did not take " + KindName(kind) + " " +
                     ValueText(kind, asked->second) + " (it answered " + ValueText(kind, value) +
                     ")");
}

void ComPortClient::Notice(int kind, const std::string& text) {
    if (told_.insert(kind).second) {
        notices_.push_back(text);
    }
}

std::string ComPortClient::EncodeData(const uint8_t* bytes, size_t count) const {
    const auto binary = local_.find(kOptionBinary);
    return telnet::EncodeData(bytes, count, binary != local_.end() && binary->second == Side::Yes);
}

std::string ComPortClient::Command(uint8_t command, const std::string& value) {
    return EncodeSubnegotiation(kOptionComPort, static_cast<char>(command) + value);
}

std::string ComPortClient::Control(uint8_t value) {
    asked_[KindOf(kSetControl, value)] = value;
    return Command(kSetControl, std::string(1, static_cast<char>(value)));
}

std::string ComPortClient::SetBaudRate(uint32_t baud) {
    asked_[kSetBaudRate] = baud;
    return Command(kSetBaudRate, BigEndian(baud));
}

std::string ComPortClient::SetDataSize(uint8_t bits) {
    asked_[kSetDataSize] = bits;
    return Command(kSetDataSize, std::string(1, static_cast<char>(bits)));
}

std::string ComPortClient::SetParity(ComPortParity parity) {
    asked_[kSetParity] = static_cast<uint8_t>(parity);
    return Command(kSetParity, std::string(1, static_cast<char>(parity)));
}

std::string ComPortClient::SetStopBits(ComPortStopBits stopBits) {
    asked_[kSetStopSize] = static_cast<uint8_t>(stopBits);
    return Command(kSetStopSize, std::string(1, static_cast<char>(stopBits)));
}

std::string ComPortClient::SetFlow(ComPortFlow flow) {
    return Control(static_cast<uint8_t>(flow));
}

std::string ComPortClient::SetDtr(bool on) {
    return Control(on ? 8 : 9);
}

std::string ComPortClient::SetRts(bool on) {
    return Control(on ? 11 : 12);
}

std::string ComPortClient::SetBreak(bool on) {
    return Control(on ? 5 : 6);
}

std::string ComPortClient::Purge(bool receive, bool transmit) {
    const uint8_t which =
        receive && transmit ? kPurgeBoth : (receive ? kPurgeReceived : kPurgeSent);
    return Command(kPurgeData, std::string(1, static_cast<char>(which)));
}

bool ComPortClient::ModemState(uint32_t& state) const {
    state = modemState_;
    return hasModemState_;
}

uint32_t ComPortClient::TakeLineErrors() {
    const uint32_t errors = lineErrors_;
    lineErrors_ = 0;
    return errors;
}

std::vector<std::string> ComPortClient::TakeNotices() {
    std::vector<std::string> notices;
    notices.swap(notices_);
    return notices;
}

}  // namespace drel::platform
