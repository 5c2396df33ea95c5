#pragma once

// Reconnecting by itself: when the device of a connection goes away (an adapter unplugged, a
// board that carries its own USB serial chip powered off) and the user wants it, the connection
// waits for a device of that name to return and takes it up with the same line settings and
// line states, instead of telling the user that the read failed.

#include "connection/PortConnection.h"

namespace drel {

// Whether the user wants the connection to reconnect by itself. Any thread.
bool ReconnectWanted(const PortConnection& c);

// Called by the receive loop once the device has gone away and ReconnectWanted holds: ends a
// download under way, lets the device go, shows "[NAME disconnected]" and waits, without
// polling, until a device of the connection's name opens again (the same path, by-id name or
// named link; a link may now point to another node), then sets it up as before and shows
// "[NAME reconnected]". A device that refuses to open (permissions not set yet, another
// process probing it) is tried again quietly whenever something changes where it could come
// back, and once a second. Returns true with the new device in place, false once the close has
// begun (the wait ends at once then). The receive loop thread only.
bool AwaitDeviceReturn(PortConnection& c);

}  // namespace drel
