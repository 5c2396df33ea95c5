#include "platform/TelnetCodec.h"

namespace drel::platform::telnet {

namespace {

constexpr uint8_t kCr = '\r';

}  // namespace

size_t TelnetDecoder::Feed(const uint8_t* bytes, size_t count, std::string& data,
                           std::optional<TelnetCommand>& command) {
    command.reset();
    for (size_t i = 0; i < count; ++i) {
        if (command) {
            return i;
        }
        const uint8_t byte = bytes[i];
        switch (state_) {
            case State::Data:
            case State::DataAfterCr:
                TakeData(byte, data);
                break;
            case State::Iac:
                TakeIac(byte, data);
                break;
            case State::Verb:
                pending_.option = byte;
                command = pending_;
                state_ = State::Data;
                break;
            case State::SubOption:
                pending_.option = byte;
                pending_.payload.clear();
                state_ = State::Sub;
                break;
            case State::Sub:
                TakeSub(byte);
                break;
            case State::SubIac:
                TakeSubIac(byte, data, command);
                break;
        }
    }
    return count;
}

void TelnetDecoder::TakeData(uint8_t byte, std::string& data) {
    const bool afterCr = state_ == State::DataAfterCr;
    state_ = State::Data;
    if (byte == kIac) {
        state_ = State::Iac;
        return;
    }
    if (afterCr && byte == 0) {
        return;  // the NUL that follows a CR outside binary
    }
    data += static_cast<char>(byte);
    if (!binary_ && byte == kCr) {
        state_ = State::DataAfterCr;
    }
}

void TelnetDecoder::TakeIac(uint8_t byte, std::string& data) {
    state_ = State::Data;
    switch (byte) {
        case kIac:
            data += static_cast<char>(kIac);
            break;
        case kWill:
        case kWont:
        case kDo:
        case kDont:
            pending_ = TelnetCommand{byte, 0, {}};
            state_ = State::Verb;
            break;
        case kSb:
            pending_ = TelnetCommand{kSb, 0, {}};
            state_ = State::SubOption;
            break;
        default:
            break;  // NOP, GA, DM and the others carry nothing for a serial line
    }
}

void TelnetDecoder::TakeSub(uint8_t byte) {
    if (byte == kIac) {
        state_ = State::SubIac;
    } else if (pending_.payload.size() < kMaxSubnegotiation) {
        pending_.payload += static_cast<char>(byte);
    }
}

void TelnetDecoder::TakeSubIac(uint8_t byte, std::string& data,
                               std::optional<TelnetCommand>& command) {
    if (byte == kIac) {
        state_ = State::Sub;
        if (pending_.payload.size() < kMaxSubnegotiation) {
            pending_.payload += static_cast<char>(kIac);
        }
        return;
    }
    // IAC SE ends the sub-negotiation; any other command ends it too, and then counts itself.
    command = pending_;
    state_ = State::Data;
    if (byte != kSe) {
        TakeIac(byte, data);
    }
}

std::string EncodeData(const uint8_t* bytes, size_t count, bool binary) {
    std::string encoded;
    encoded.reserve(count + count / 64 + 2);
    for (size_t i = 0; i < count; ++i) {
        encoded += static_cast<char>(bytes[i]);
        if (bytes[i] == kIac) {
            encoded += static_cast<char>(kIac);
        } else if (!binary && bytes[i] == kCr) {
            encoded += '\0';
        }
    }
    return encoded;
}

std::string EncodeCommand(uint8_t verb, uint8_t option) {
    return {static_cast<char>(kIac), static_cast<char>(verb), static_cast<char>(option)};
}

std::string EncodeSubnegotiation(uint8_t option, const std::string& payload) {
    std::string encoded{static_cast<char>(kIac), static_cast<char>(kSb), static_cast<char>(option)};
    for (const char byte : payload) {
        encoded += byte;
        if (static_cast<uint8_t>(byte) == kIac) {
            encoded += static_cast<char>(kIac);
        }
    }
    encoded += static_cast<char>(kIac);
    encoded += static_cast<char>(kSe);
    return encoded;
}

}  // namespace drel::platform::telnet
