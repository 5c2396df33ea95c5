#pragma once

#include <cstdint>

#include "terminal/OutputView.h"

namespace drel {

// Shows `count` bytes on `view` as one run of text. A zero byte is left out and the bytes after
// it are shown, since devices do print NULs and what follows them is still output. Shows
// nothing when `view` is null. Returns 1. Any thread.
int DisplayBytes(OutputView* view, const uint8_t* bytes, int count);

}  // namespace drel
