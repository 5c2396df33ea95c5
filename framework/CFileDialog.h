#pragma once

// The Open and Save As dialogs: any file and no default extension, so the name the user types is
// the name used. A caller may offer file types to choose among (SetFilters), which then say how
// the file is to be written rather than narrow the list. Tests replace the dialog through
// SetHook. User-interface thread.

#include <functional>
#include <string>
#include <vector>

class QWidget;

namespace drel {

class CFileDialog {
  public:
    // An Open dialog when `openFileDialog`, else Save As; `fileName` is the name offered.
    CFileDialog(bool openFileDialog, const std::string& fileName = {}, QWidget* parent = nullptr);

    // Runs the dialog: IDOK with a chosen file (GetPathName), IDCANCEL otherwise.
    int DoModal();

    // The chosen file (8-bit, system code page); before DoModal the name offered.
    const std::string& GetPathName() const { return m_strPathName; }
    // Sets the answer; for hooks.
    void SetPathName(const std::string& pathName) { m_strPathName = pathName; }

    bool IsOpenFileDialog() const { return m_bOpen; }

    // Whether Save As asks before a file that exists is chosen (it does unless told otherwise).
    void SetConfirmOverwrite(bool confirm) { m_bConfirmOverwrite = confirm; }
    bool ConfirmsOverwrite() const { return m_bConfirmOverwrite; }

    // The file types offered, each as "Description (patterns)"; none (the default) offers none.
    void SetFilters(std::vector<std::string> filters) { m_filters = std::move(filters); }
    const std::vector<std::string>& GetFilters() const { return m_filters; }
    // The file type chosen, counted from 0: before DoModal the one offered first, after it the
    // one the user took.
    int GetFilterIndex() const { return m_nFilterIndex; }
    void SetFilterIndex(int index) { m_nFilterIndex = index; }

    // Replaces every file dialog by `hook`, which may set the answer (SetPathName) and returns
    // the result DoModal gives; an empty hook shows real dialogs again. For tests.
    static void SetHook(std::function<int(CFileDialog&)> hook);

  private:
    bool m_bOpen;
    bool m_bConfirmOverwrite = true;
    std::string m_strPathName;
    std::vector<std::string> m_filters;
    int m_nFilterIndex = 0;
    QWidget* m_pParent;
};

}  // namespace drel
