#pragma once

#include "connection/PortConnection.h"

namespace drel {

// Sends the image named by the connection's `imageName` under the device's handshake: the
// signature unasked ("S"), the image header on the request byte 0x01 ("H"), then one record per
// request byte 0x02 (one "*" each, a line break after the 39th and every 40th from then on), in
// write pieces of at most 4096 bytes, until the end record. Each record is read whole before any
// of it is sent. Ends with a message box for a file that cannot be opened, an incomplete image,
// a request that does not come in time, or no memory for a record. `downloading` is 1 while it
// runs. Returns 1 after the end record, 0 otherwise. Its own thread only.
int DownloadWorker(PortConnection& c);

// Starts a DownloadWorker thread in place of the connection's previous one, which has ended by
// now. The receive loop thread only.
void StartDownloadWorker(PortConnection& c);

// Ends a running worker, whatever it is doing, and waits for it: its waits are woken, its write
// is aborted, and message boxes are answered by the user-interface side. The receive loop
// thread only, as the loop ends.
void StopDownloadWorker(PortConnection& c);

}  // namespace drel
