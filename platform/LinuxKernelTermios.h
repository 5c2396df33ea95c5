#pragma once

// The kernel's own terminal-settings calls (TCSETS2 and TCGETS2), in plain words. They carry
// any rate, not only the standard speed codes (BOTHER: "the rate is in ispeed/ospeed"), and
// setting through them goes around the C library's tcsetattr, which on a pseudo-terminal
// reports EINVAL for a change the pseudo-terminal adjusts (it forces 8 data bits and no
// parity) although the change was made. Kept apart because the kernel's header cannot be
// included beside <termios.h>; the flag values are the same under both.

#include <cstdint>

namespace drel::platform {

// The number of control characters the kernel keeps; their indices (VMIN, VSTART...) are the
// same as the C library's.
inline constexpr int kKernelControlChars = 19;

struct KernelTermios {
    uint32_t iflag = 0;
    uint32_t oflag = 0;
    uint32_t cflag = 0;  // speed codes included: BOTHER for a rate given in ispeed/ospeed
    uint32_t lflag = 0;
    uint8_t line = 0;  // line discipline
    uint8_t cc[kKernelControlChars] = {};
    uint32_t ispeed = 0;
    uint32_t ospeed = 0;
};

// Applies `tio` to the terminal `fd` in one call. Returns false with errno set when the device
// refuses; the line is then as it was. Any thread.
bool SetKernelTermios(int fd, const KernelTermios& tio);

// Reads the output rate the kernel holds for `fd`, whether it was set by a standard speed code
// or as an arbitrary rate. Returns false with errno set on failure. Any thread.
bool GetLineRate(int fd, uint32_t& rate);

}  // namespace drel::platform
