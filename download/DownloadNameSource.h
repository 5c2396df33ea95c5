#pragma once

#include <string>

namespace drel {

// The two download file names the auto-download chain sends, kept by the application.
class DownloadNameSource {
  public:
    virtual ~DownloadNameSource() = default;

    // A copy of name 0 (the first) or, for any other index, the second; whole, even while
    // another thread replaces it. Any thread.
    virtual std::string GetDownloadName(int index) const = 0;
};

}  // namespace drel
