#pragma once

// A port name for drel: the symbolic link `<port links folder>/NAME` to a device path, which
// drel opens in place of the device when the user types NAME (see platform/PortNames.h).

#include <string>

namespace drel::devsim {

class PortLink {
  public:
    PortLink() = default;
    PortLink(const PortLink&) = delete;
    PortLink& operator=(const PortLink&) = delete;
    // Removes the link, as Remove does.
    ~PortLink();

    // Whether `name` can name a link in the folder: not empty, no '/', not "." or "..".
    static bool IsValidName(const std::string& name);

    // Points the link NAME at `target`, creating the folders on the way. A link already there
    // (left by an earlier run) is replaced in one step; any other file is left alone and
    // refused. Returns false with the reason in `error`. Call once.
    bool Publish(const std::string& name, const std::string& target, std::string& error);

    // Removes the link, unless it no longer points at this run's target (another run has taken
    // the name since). Does nothing when nothing was published. Never fails.
    void Remove();

    // The link's path; empty until published.
    const std::string& path() const { return path_; }

  private:
    std::string path_;
    std::string target_;
};

}  // namespace drel::devsim
