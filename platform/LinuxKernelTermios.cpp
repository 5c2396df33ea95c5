#include "LinuxKernelTermios.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

#include <algorithm>
#include <iterator>

namespace drel::platform {

static_assert(sizeof(termios2::c_cc) == kKernelControlChars);
static_assert(VTIME == 5 && VMIN == 6 && VSTART == 8 && VSTOP == 9,
              "the indices LinuxTermios.cpp uses under the C library's names");

bool SetKernelTermios(int fd, const KernelTermios& tio) {
    termios2 k{};
    k.c_iflag = tio.iflag;
    k.c_oflag = tio.oflag;
    k.c_cflag = tio.cflag;
    k.c_lflag = tio.lflag;
    k.c_line = tio.line;
    std::copy(std::begin(tio.cc), std::end(tio.cc), std::begin(k.c_cc));
    k.c_ispeed = tio.ispeed;
    k.c_ospeed = tio.ospeed;
    return ioctl(fd, TCSETS2, &k) == 0;
}

bool GetLineRate(int fd, uint32_t& rate) {
    termios2 k{};
    if (ioctl(fd, TCGETS2, &k) != 0) {
        return false;
    }
    // The kernel fills c_ospeed for standard speed codes too.
    rate = k.c_ospeed;
    return true;
}

}  // namespace drel::platform
