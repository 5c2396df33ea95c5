#include "app/DownloadNames.h"

#include <utility>

namespace drel {

std::string DownloadNames::GetDownloadName(int index) const {
    std::lock_guard lock(m_lock);
    return Selected(index);
}

void DownloadNames::SetDownloadName(int index, std::string text) {
    {
        std::lock_guard lock(m_lock);
        Selected(index).swap(text);
    }
    // `text` now holds the old name, released here, outside the lock.
}

const std::string& DownloadNames::Selected(int index) const {
    return index == 0 ? m_strFirstFileName : m_strSecondFileName;
}

std::string& DownloadNames::Selected(int index) {
    return index == 0 ? m_strFirstFileName : m_strSecondFileName;
}

}  // namespace drel
