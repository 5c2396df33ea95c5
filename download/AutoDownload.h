#pragma once

// The auto-download chain: the load command for the first image, and for the second one once the
// device's "FW>" prompt follows.

#include <string>

#include "connection/PortConnection.h"

namespace drel {

// "l " + `name` + "\r", the boot monitor's load command, whatever the name's length.
std::string LoadCommand(const std::string& name);

// Arms the connection and hands the load command for the first download name to the
// connection's writer, which sends it in one write; returns without waiting for the port. With
// no first name, shows "Please input full path name in menu Auto first" and changes nothing.
// User-interface thread.
void RunAutoDownload(PortConnection& c);

// The reaction to "FW>" while armed: sends the load command for the second name and disarms;
// with no second name, does nothing and stays armed. The receive loop thread only.
void ReactToPrompt(PortConnection& c);

}  // namespace drel
