#include "PortLink.h"

#include <unistd.h>

#include <filesystem>
#include <system_error>

#include "platform/PortNames.h"

namespace drel::devsim {

namespace fs = std::filesystem;

namespace {

bool Fail(std::string& error, const std::string& what, const std::error_code& reason) {
    error = what + ": " + reason.message();
    return false;
}

// Creates the link under a name of its own first and renames it into place, so that a host
// opening the port meanwhile finds either the old link or the new one, never none.
bool PlaceLink(const fs::path& link, const std::string& target, std::string& error) {
    const fs::path temporary = link.parent_path() / ("." + link.filename().string() +
                                                     ".drel-devsim-" + std::to_string(getpid()));
    std::error_code ec;
    fs::remove(temporary, ec);
    fs::create_symlink(target, temporary, ec);
    if (ec) {
        return Fail(error, "cannot create the link " + temporary.string(), ec);
    }
    fs::rename(temporary, link, ec);
    if (ec) {
        std::error_code ignored;
        fs::remove(temporary, ignored);
        return Fail(error, "cannot create the link " + link.string(), ec);
    }
    return true;
}

}  // namespace

PortLink::~PortLink() {
    Remove();
}

bool PortLink::IsValidName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos;
}

bool PortLink::Publish(const std::string& name, const std::string& target, std::string& error) {
    const fs::path folder = platform::PortLinksFolder();
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (ec) {
        return Fail(error, "cannot create the folder " + folder.string(), ec);
    }
    const fs::path link = folder / name;
    const fs::file_status status = fs::symlink_status(link, ec);
    if (ec && status.type() != fs::file_type::not_found) {
        return Fail(error, "cannot look at " + link.string(), ec);
    }
    if (fs::exists(status) && !fs::is_symlink(status)) {
        error = link.string() + " exists and is not a link; remove it or choose another name";
        return false;
    }
    if (!PlaceLink(link, target, error)) {
        return false;
    }
    path_ = link.string();
    target_ = target;
    return true;
}

void PortLink::Remove() {
    if (path_.empty()) {
        return;
    }
    std::error_code ec;
    if (fs::read_symlink(path_, ec) == fs::path(target_) && !ec) {
        fs::remove(path_, ec);
    }
    path_.clear();
}

}  // namespace drel::devsim
