#pragma once

// The application's one pair of download file names, which every connection's auto-download
// chain reads: the first is sent by the "&Auto Down load" command, the second when the device's
// "FW>" prompt follows. The user-interface thread replaces them (the settings load at start-up,
// the download-names dialog); receive-loop threads read the second at any time. One lock guards
// both, held only while a name is copied in or out, so a reader always gets a whole name, old
// or new.

#include <mutex>
#include <string>

#include "download/DownloadNameSource.h"

namespace drel {

class DownloadNames : public DownloadNameSource {
  public:
    // Both names "".
    DownloadNames() = default;
    DownloadNames(const DownloadNames&) = delete;
    DownloadNames& operator=(const DownloadNames&) = delete;

    // A copy of name 0 (the first) or, for any other index, of the second. Never fails. Any
    // thread.
    std::string GetDownloadName(int index) const override;

    // Makes `text` (8-bit characters in the system code page, any length, not checked) name 0
    // or, for any other index, the second. Never fails. Any thread.
    void SetDownloadName(int index, std::string text);

  private:
    const std::string& Selected(int index) const;
    std::string& Selected(int index);

    mutable std::mutex m_lock;
    std::string m_strFirstFileName;
    std::string m_strSecondFileName;
};

}  // namespace drel
