#include "platform/ComPortSettings.h"

#include <termios.h>

#include "platform/CommError.h"
#include "platform/LinuxTermios.h"

namespace drel::platform {

namespace {

ComPortParity ParityOf(const Dcb& dcb) {
    switch (dcb.Parity) {
        case ODDPARITY:
            return ComPortParity::Odd;
        case EVENPARITY:
            return ComPortParity::Even;
        case MARKPARITY:
            return ComPortParity::Mark;
        case SPACEPARITY:
            return ComPortParity::Space;
        default:
            return ComPortParity::None;
    }
}

ComPortFlow FlowOf(const Dcb& dcb) {
    if ((dcb.flags & DCB_fOutxCtsFlow) != 0) {
        return ComPortFlow::Hardware;
    }
    return (dcb.flags & (DCB_fOutX | DCB_fInX)) != 0 ? ComPortFlow::XonXoff : ComPortFlow::None;
}

}  // namespace

uint32_t AppendComPortSettings(const Dcb& dcb, ComPortClient& client, std::string& commands) {
    // The server's line takes what a local line takes; asking it for more would only bring back
    // an answer the user cannot act on.
    termios scratch{};
    uint32_t arbitraryRate = 0;
    if (const uint32_t error = DcbToTermios(dcb, scratch, arbitraryRate); error != ERROR_SUCCESS) {
        return error;
    }
    const ComPortFlow flow = FlowOf(dcb);
    commands += client.SetBaudRate(dcb.BaudRate);
    commands += client.SetDataSize(dcb.ByteSize);
    commands += client.SetParity(ParityOf(dcb));
    commands += client.SetStopBits(dcb.StopBits == TWOSTOPBITS ? ComPortStopBits::Two
                                                               : ComPortStopBits::One);
    commands += client.SetFlow(flow);
    commands += client.SetDtr(DtrControl(dcb) != DTR_CONTROL_DISABLE);
    if (flow != ComPortFlow::Hardware) {
        commands += client.SetRts(RtsControl(dcb) != RTS_CONTROL_DISABLE);
    }
    return ERROR_SUCCESS;
}

}  // namespace drel::platform
