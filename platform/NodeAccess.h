#pragma once

// Who may open a device node, and where this process stands: the facts behind a refused open.

#include <optional>
#include <string>

namespace drel::platform {

struct NodeAccess {
    std::string owner;        // the owner's user name, or its number when it has none
    std::string group;        // the group's name, or its number when it has none
    unsigned mode = 0;        // the permission bits, 0777 at most
    bool ownedByYou = false;  // this process's effective user owns the node
    bool inGroup = false;     // the node's group is one of this process's groups
    // The user database lists this process's user in the node's group, so a new login has it.
    bool inGroupAtNextLogin = false;
    std::string userName;  // this process's user, empty when the database does not know it
};

// Looks up the node that `path` names (links followed) and this process's user and groups.
// Nothing when the node cannot be examined. Any thread.
std::optional<NodeAccess> LookUpNodeAccess(const std::string& path);

}  // namespace drel::platform
