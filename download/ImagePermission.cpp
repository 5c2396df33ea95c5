#include "download/ImagePermission.h"

#include <filesystem>
#include <system_error>

#include "platform/NetworkAddress.h"

namespace drel {

namespace {

namespace fs = std::filesystem;

// `path` (absolute) with links and ".." resolved as far as it exists; empty when that fails.
fs::path Resolved(const fs::path& path) {
    std::error_code error;
    fs::path resolved = fs::weakly_canonical(path, error);
    return error ? fs::path() : resolved;
}

// `name` as the program opens it: relative to the working folder. Empty when that fails.
fs::path Absolute(const std::string& name) {
    std::error_code error;
    fs::path absolute = fs::absolute(name, error);
    return error ? fs::path() : absolute;
}

}  // namespace

bool IsBesideAllowedImage(const std::string& requested, const std::vector<std::string>& allowed) {
    const fs::path wanted = requested.empty() ? fs::path() : Resolved(Absolute(requested));
    if (wanted.empty()) {
        return false;
    }
    for (const std::string& name : allowed) {
        const fs::path image = name.empty() ? fs::path() : Absolute(name);
        if (image.empty()) {
            continue;
        }
        if (wanted == Resolved(image) || wanted.parent_path() == Resolved(image.parent_path())) {
            return true;
        }
    }
    return false;
}

std::string WhyImageRefused(const PortConnection& c, const std::string& imageName) {
    if (!platform::IsNetworkPortName(c.portName)) {
        return {};
    }
    std::vector<std::string> allowed;
    if (c.downloadNames != nullptr) {
        allowed = {c.downloadNames->GetDownloadName(0), c.downloadNames->GetDownloadName(1)};
    }
    if (IsBesideAllowedImage(imageName, allowed)) {
        return {};
    }
    return ": the board asked for " + imageName +
           ", which is not a download file or in the folder of one; a board on a network port "
           "is sent nothing else";
}

}  // namespace drel
