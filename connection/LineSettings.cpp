#include "LineSettings.h"

namespace drel {

using namespace platform;

namespace {

// The flag bits ApplyLineSettings decides; every other bit stays as the port reported it.
constexpr uint32_t kDecidedFlags = DCB_fBinary | DCB_fParity | DCB_fOutxCtsFlow | DCB_fOutxDsrFlow |
                                   DCB_fDtrControlMask | DCB_fOutX | DCB_fInX | DCB_fRtsControlMask;

// The flow-control bits the settings choose.
constexpr uint32_t kFlowFlags = DCB_fOutxCtsFlow | DCB_fOutX | DCB_fInX;

}  // namespace

bool ApplyLineSettings(SerialPort& port, const LineSettings& settings) {
    Dcb dcb;
    dcb.DCBlength = sizeof(Dcb);
    // A port that cannot report its state is still programmed, from a zeroed block.
    port.GetCommState(dcb);

    dcb.BaudRate = settings.BaudRate;
    dcb.ByteSize = settings.ByteSize;
    dcb.Parity = settings.Parity;
    dcb.StopBits = settings.StopBits;
    dcb.XonChar = 0x11;   // DC1
    dcb.XoffChar = 0x13;  // DC3
    dcb.XonLim = 100;
    dcb.XoffLim = 100;

    // Parity checking is on whatever the parity scheme; DTR and RTS are held on in every flow
    // mode, so with RTS/CTS only the output side waits for CTS.
    dcb.flags = (dcb.flags & ~kDecidedFlags) | DCB_fBinary | DCB_fParity |
                (settings.flags & kFlowFlags) | (DTR_CONTROL_ENABLE << DCB_fDtrControlShift) |
                (RTS_CONTROL_ENABLE << DCB_fRtsControlShift);
    return port.SetCommState(dcb);
}

}  // namespace drel
