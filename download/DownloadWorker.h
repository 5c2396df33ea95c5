#pragma once

#include <string>

#include "connection/PortConnection.h"

namespace drel {

// Sends the image file `imageName` under the device's handshake: the signature unasked ("S"),
// the image header on the request byte 0x01 ("H"), then one record per request byte 0x02 (one
// "*" each, a line break after the 39th and every 40th from then on), in write pieces of at most
// 4096 bytes, until the end record. Each record is read whole before any of it is sent. Ends
// with a message box for a file that cannot be opened, an incomplete image, a request that does
// not come in time, or no memory for a record. The connection's observer, when it has one, is
// told of the start, of each record sent and of the end, and the marks are then left out of
// the terminal. `downloading` is 1 while it runs. Returns 1 when
// the image has ended (its end record sent, or the file found incomplete), 0 for every other
// ending. Its own thread only.
int DownloadWorker(PortConnection& c, const std::string& imageName);

// Starts a DownloadWorker thread, with a copy of the connection's `imageName` as it is now, in
// place of the connection's previous worker, which has ended by now. The copy matters: the loop
// goes on capturing until the worker has set `downloading`, and a device may already be naming
// its next image. The receive loop thread only.
void StartDownloadWorker(PortConnection& c);

// Ends a running worker, whatever it is doing, and waits for it: its waits are woken, its write
// is aborted, and message boxes are answered by the user-interface side. The receive loop
// thread only, as the loop ends.
void StopDownloadWorker(PortConnection& c);

}  // namespace drel
