#pragma once

#include <cstdint>

#include "terminal/OutputView.h"

namespace drel {

// Shows `count` bytes on `view` as one run of text. A zero byte is left out and the bytes after
// it are shown, since devices do print NULs and what follows them is still output. Shows
// nothing when `view` is null. Showing cannot fail: the result is always 1, and callers need
// not look at it. Any thread; returns without waiting for the window.
int DisplayBytes(OutputView* view, const uint8_t* bytes, int count);

}  // namespace drel
