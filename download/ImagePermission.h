#pragma once

// Which files a board may have sent to it. A board on a local port is the user's own and names
// whatever file it likes, as it always could. A board reached over the network is a peer on that
// network: it may name only the files the user chose to load, or files beside them.

#include <string>
#include <vector>

#include "connection/PortConnection.h"

namespace drel {

// Whether `requested` is one of `allowed` or lies directly in the folder of one of them. Both
// are taken as the program opens them (relative to the working folder), with links and ".."
// resolved, so a name cannot climb out of a folder or through a link placed in it. Empty names
// in `allowed` allow nothing. Any thread.
bool IsBesideAllowedImage(const std::string& requested, const std::vector<std::string>& allowed);

// Empty when the board on `c` may be sent `imageName`; otherwise why not, for the user. Over a
// network port the allowed files are the connection's two download file names. Any thread.
std::string WhyImageRefused(const PortConnection& c, const std::string& imageName);

}  // namespace drel
