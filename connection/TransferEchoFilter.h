#pragma once

// What the terminal shows of the receiver's bytes around a file transfer. While one runs, the
// protocol's answers (ACK, NAK, CAN and the 'C' that asks for CRC-16 packets) are left out. A
// receiver that cancels sends backspaces right after its CANs to erase them from a terminal
// (lrzsz does); as those CANs were never shown, as many backspaces are left out too, also when
// they come after the transfer has ended, so that they do not erase the terminal's own text.

#include <cstdint>

namespace drel {

class TransferEchoFilter {
  public:
    // Removes from `bytes` what the terminal should not show, in place; returns how many bytes
    // are left. `transferring`: whether a transfer runs. The receive loop's thread.
    int Filter(uint8_t* bytes, int count, bool transferring);

    // Whether bytes outside a transfer may still need filtering: CANs were left out and their
    // backspaces have not all come.
    bool OwesBackspaces() const { return owedBackspaces_ > 0; }

  private:
    // Whether `byte` is shown; counts the CANs left out and the backspaces they are owed.
    bool Shows(uint8_t byte, bool transferring);

    int owedBackspaces_ = 0;
};

}  // namespace drel
