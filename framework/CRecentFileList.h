#pragma once

// The recent-file list: the files opened or saved last, most recent first, without duplicates,
// at most a fixed number. It is kept in the settings file under one group with the values
// File1, File2 ... and shown in the File menu in place of the "Recent File" item.
// User-interface thread.

#include <string>
#include <vector>

class QSettings;

namespace drel {

class CRecentFileList {
  public:
    // A list of at most `size` entries stored in group `section`.
    CRecentFileList(std::string section, int size);

    // Puts `pathName` at the head, removing an older entry for the same file and the entry
    // that falls off the end. An empty name is ignored.
    void Add(const std::string& pathName);

    // Removes entry `index`; out-of-range indexes are ignored.
    void Remove(int index);

    int GetSize() const { return static_cast<int>(m_files.size()); }
    const std::string& operator[](int index) const { return m_files.at(index); }

    // The text of entry `index` in the File menu: "&1 /path/name", '&' in the path doubled.
    std::string GetMenuText(int index) const;

    // Replaces the list by what `settings` holds; missing values end it.
    void ReadList(QSettings& settings);
    // Stores the list into `settings`, clearing values of entries no longer there.
    void WriteList(QSettings& settings) const;

  private:
    std::string m_strSection;
    int m_nSize;
    std::vector<std::string> m_files;
};

}  // namespace drel
