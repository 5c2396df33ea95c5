#pragma once

#include "connection/PortConnection.h"

namespace drel {

// The connection's reader: waits for received characters, reads them in chunks of at most 80
// bytes, shows each chunk on the output view and then hands it to the stream watchers. Runs
// while `connected` is 1; ends early, with one " port read error occured" box, when the device
// has gone away. Returns 1 after a normal end, 0 when it could not start. Its own thread only.
int ReceiveLoop(PortConnection& c);

// Starts ReceiveLoop on a new thread of the connection. False when no thread can be made.
// User-interface thread.
bool StartReceiveLoop(PortConnection& c);

// Ends the loop of a connection whose `connected` is already 0: changes the event mask, which
// ends its pending wait, then waits for the thread while serving its display requests, and
// joins it. User-interface thread.
void EndReceiveLoop(PortConnection& c);

}  // namespace drel
