#pragma once

#include "connection/PortConnection.h"

namespace drel {

// The connection's reader: waits for received characters, reads what the port holds (up to 4096
// bytes a read) and cuts it into runs of at most 80 bytes; each run is handed to the output
// view, which never holds the loop back, and then to the stream watchers. While input only
// trickles in and no download runs, it lets a few milliseconds' worth gather between reads.
// Runs while `connected` is 1; ends early, with one " port read error occured" box, when the
// device has gone away. Returns 1 after a normal end, 0 when it could not start. Its own thread
// only.
int ReceiveLoop(PortConnection& c);

// Starts ReceiveLoop on a new thread of the connection. False when no thread can be made.
// User-interface thread.
bool StartReceiveLoop(PortConnection& c);

// Ends the loop of a connection whose `connected` is already 0: ends its pause, if it lets a
// trickle of input gather, and changes the event mask, which ends its pending wait, then waits for
// the thread while answering its message boxes, and joins it. User-interface thread.
void EndReceiveLoop(PortConnection& c);

}  // namespace drel
