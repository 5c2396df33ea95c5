#include "LineControl.h"

namespace drel {

namespace {

using namespace platform;

bool Escape(PortConnection& c, uint32_t function) {
    return c.connected != 0 && c.port != nullptr && c.port->EscapeCommFunction(function);
}

}  // namespace

bool SetDtr(PortConnection& c, bool on) {
    c.dtrOn = on;
    return Escape(c, on ? SETDTR : CLRDTR);
}

bool SetRts(PortConnection& c, bool on) {
    c.rtsOn = on;
    return Escape(c, on ? SETRTS : CLRRTS);
}

void ApplyLineStates(PortConnection& c) {
    if (c.port == nullptr) {
        return;
    }
    c.port->EscapeCommFunction(c.dtrOn ? SETDTR : CLRDTR);
    // The open raises RTS already, and under RTS/CTS flow control the driver moves it; so it is
    // touched only when the user wants it off.
    if (!c.rtsOn) {
        c.port->EscapeCommFunction(CLRRTS);
    }
}

void SendBreak(PortConnection& c) {
    c.userWrites.Break();
}

std::optional<uint32_t> ReadModemInputs(PortConnection& c) {
    uint32_t status = 0;
    if (c.connected == 0 || c.port == nullptr || !c.port->GetCommModemStatus(status)) {
        return std::nullopt;
    }
    return status;
}

}  // namespace drel
