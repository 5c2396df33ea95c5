#pragma once

// Two pseudo-terminals joined as by a cable: what the program writes to its terminal the far
// terminal reads, and back, with a thread copying between the two masters. A test runs a real
// peer (lrzsz's rb or rx) on the far terminal and the program on its own, and may spoil the
// program's bytes on the way, as a noisy line does.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <thread>

#include "PseudoTerminal.h"

namespace drel::test {

class PtyRelay {
  public:
    // Sees each piece of the program's bytes before it goes on, with the count of the program's
    // bytes before it; may change the bytes or clear the piece. The relay's thread.
    using Spoiler = std::function<void(std::string& piece, uint64_t offset)>;

    // Opens both terminals; IsOpen() tells whether that worked. Relaying starts with Start.
    PtyRelay();
    PtyRelay(const PtyRelay&) = delete;
    PtyRelay& operator=(const PtyRelay&) = delete;
    // Stops the thread.
    ~PtyRelay();

    bool IsOpen() const { return program_.IsOpen() && far_.IsOpen() && stop_[0] >= 0; }

    // The terminal the program opens, and the one the peer runs on.
    const std::string& ProgramPath() const { return program_.SlavePath(); }
    const std::string& FarPath() const { return far_.SlavePath(); }

    // Starts relaying, with `spoiler` (may be empty) on the program's bytes. Once.
    void Start(Spoiler spoiler = {});

  private:
    void Relay();
    bool Move(int from, int to, bool fromProgram);

    PseudoTerminal program_;
    PseudoTerminal far_;
    Spoiler spoiler_;
    uint64_t programBytes_ = 0;  // the relay's thread only
    int stop_[2] = {-1, -1};     // a pipe the destructor closes to end the thread
    std::thread thread_;
};

// A spoiler that flips one byte in every `interval` bytes the program sends (at the middle of
// each such stretch): with `interval` about fifty packets, one packet in fifty arrives damaged.
PtyRelay::Spoiler FlipOneByteIn(uint64_t interval);

// A spoiler that drops `length` bytes in every `interval` bytes the program sends, from the
// middle of each such stretch: with `length` a packet's size, one packet in interval/length is
// lost on the way.
PtyRelay::Spoiler DropOneStretchIn(uint64_t interval, uint64_t length);

}  // namespace drel::test
