#include "NodeAccess.h"

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <vector>

namespace drel::platform {

namespace {

// Big enough for any entry of a local user database; a larger one reads as unknown.
constexpr size_t kEntryBuffer = 16384;

struct UserEntry {
    std::string name;
    gid_t primaryGroup = 0;
};

std::optional<UserEntry> FindUser(uid_t uid) {
    std::vector<char> buffer(kEntryBuffer);
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found) != 0 || found == nullptr) {
        return std::nullopt;
    }
    return UserEntry{found->pw_name, found->pw_gid};
}

std::string GroupName(gid_t gid) {
    std::vector<char> buffer(kEntryBuffer);
    group entry{};
    group* found = nullptr;
    if (getgrgid_r(gid, &entry, buffer.data(), buffer.size(), &found) != 0 || found == nullptr) {
        return std::to_string(gid);
    }
    return found->gr_name;
}

// The groups the kernel checks this process's access against.
bool ProcessIsInGroup(gid_t gid) {
    if (getegid() == gid) {
        return true;
    }
    const int count = getgroups(0, nullptr);
    if (count <= 0) {
        return false;
    }
    std::vector<gid_t> groups(static_cast<size_t>(count));
    const int got = getgroups(count, groups.data());
    return got > 0 && std::find(groups.begin(), groups.begin() + got, gid) != groups.begin() + got;
}

// The groups a new login of `user` gets from the user database.
bool DatabaseListsUserInGroup(const UserEntry& user, gid_t gid) {
    int count = 64;
    std::vector<gid_t> groups(static_cast<size_t>(count));
    if (getgrouplist(user.name.c_str(), user.primaryGroup, groups.data(), &count) < 0) {
        // `count` now says how many there are.
        groups.resize(static_cast<size_t>(count));
        if (getgrouplist(user.name.c_str(), user.primaryGroup, groups.data(), &count) < 0) {
            return false;
        }
    }
    return std::find(groups.begin(), groups.begin() + count, gid) != groups.begin() + count;
}

}  // namespace

std::optional<NodeAccess> LookUpNodeAccess(const std::string& path) {
    struct stat node {};
    if (stat(path.c_str(), &node) != 0) {
        return std::nullopt;
    }
    NodeAccess access;
    const std::optional<UserEntry> owner = FindUser(node.st_uid);
    access.owner = owner ? owner->name : std::to_string(node.st_uid);
    access.group = GroupName(node.st_gid);
    access.mode = node.st_mode & 0777;
    access.ownedByYou = node.st_uid == geteuid();
    access.inGroup = ProcessIsInGroup(node.st_gid);
    if (const std::optional<UserEntry> you = FindUser(geteuid())) {
        access.userName = you->name;
        access.inGroupAtNextLogin = DatabaseListsUserInGroup(*you, node.st_gid);
    }
    return access;
}

}  // namespace drel::platform
