#pragma once

// How the connection's threads reach its output view. The view that shows received text can
// change (another window on the document is activated) or go away (its window closes) while
// the receive loop, the download worker or a writer is handing it text; the connection's
// output lock keeps a view in place for as long as one of them is using it. Handing text over
// never waits for the window (OutputView), so the lock is only ever held for moments.

#include <cstdint>
#include <string>

#include "connection/PortConnection.h"

namespace drel {

// Shows `count` bytes as one run on the connection's output view (DisplayBytes); nothing when
// it has none. Always returns 1. Any thread.
int DisplayBytes(PortConnection& c, const uint8_t* bytes, int count);

// "[NAME what]" on a line of its own, shown and in a text log (ConnectionLog.h): what the
// program itself has to say in the stream of the device's text. `startLine` begins a new line
// first, for the device's text may have stopped mid-line. Any thread.
void ShowMark(PortConnection& c, const std::string& what, bool startLine);

// Makes `view` the connection's output view. Any thread.
void SetOutputView(PortConnection& c, OutputView* view);

// Stops `view` being the connection's output view, if it is, and returns once no thread is
// handing it text: afterwards it may be destroyed. Any thread.
void ReleaseOutputView(PortConnection& c, OutputView* view);

}  // namespace drel
