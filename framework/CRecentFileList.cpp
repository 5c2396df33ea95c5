#include "framework/CRecentFileList.h"

#include <QFileInfo>
#include <QSettings>
#include <algorithm>

#include "framework/CFrameWnd.h"

namespace drel {

namespace {

QString KeyOf(int index) {
    return QStringLiteral("File%1").arg(index + 1);
}

// One spelling per file, so that the same file opened by two names is one entry.
std::string Canonical(const std::string& pathName) {
    const QFileInfo info(ToQString(pathName));
    return ToStdString(info.absoluteFilePath());
}

}  // namespace

CRecentFileList::CRecentFileList(std::string section, int size)
    : m_strSection(std::move(section)), m_nSize(std::max(0, size)) {}

void CRecentFileList::Add(const std::string& pathName) {
    if (pathName.empty() || m_nSize == 0) {
        return;
    }
    const std::string name = Canonical(pathName);
    std::erase(m_files, name);
    m_files.insert(m_files.begin(), name);
    if (static_cast<int>(m_files.size()) > m_nSize) {
        m_files.resize(m_nSize);
    }
}

void CRecentFileList::Remove(int index) {
    if (index >= 0 && index < GetSize()) {
        m_files.erase(m_files.begin() + index);
    }
}

std::string CRecentFileList::GetMenuText(int index) const {
    std::string path;
    for (char c : m_files.at(index)) {
        path += c;
        if (c == '&') {
            path += '&';
        }
    }
    // Entries 1 to 9 take their digit as the mnemonic.
    const std::string number = std::to_string(index + 1);
    return (index < 9 ? "&" : "") + number + " " + path;
}

void CRecentFileList::ReadList(QSettings& settings) {
    m_files.clear();
    settings.beginGroup(ToQString(m_strSection));
    for (int i = 0; i < m_nSize; ++i) {
        const QString value = settings.value(KeyOf(i)).toString();
        if (value.isEmpty()) {
            break;
        }
        m_files.push_back(ToStdString(value));
    }
    settings.endGroup();
}

void CRecentFileList::WriteList(QSettings& settings) const {
    settings.beginGroup(ToQString(m_strSection));
    for (int i = 0; i < m_nSize; ++i) {
        if (i < GetSize()) {
            settings.setValue(KeyOf(i), ToQString(m_files[i]));
        } else {
            settings.remove(KeyOf(i));
        }
    }
    settings.endGroup();
}

}  // namespace drel
