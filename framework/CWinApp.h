#pragma once

// The application object: start-up, the document template, the recent-file list and the
// settings, the command line, the printer, and the last stop of the command route.
//
// The program defines one subclass and one static instance of it; AfxWinMain creates the Qt
// application, runs InitInstance (where the program registers its template, loads its main
// frame into m_pMainWnd and processes the command line), then the event loop (Run), then
// ExitInstance, which closes what is left and writes the recent-file list back.
// User-interface thread only, except AfxGetApp.

#include <QPrinter>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "framework/CCmdTarget.h"
#include "framework/CRecentFileList.h"

class QSettings;

namespace drel {

class CCommandLineInfo;
class CDocument;
class CFrameWnd;
class CMultiDocTemplate;

class CWinApp : public CCmdTarget {
  public:
    // Registers the object as the application (AfxGetApp). With no `appName` the name is the
    // string AFX_IDS_APP_TITLE, looked up when the application starts.
    explicit CWinApp(const char* appName = nullptr);
    ~CWinApp() override;
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    // Start-up; false ends the program at once. The base returns true.
    virtual bool InitInstance();
    // The event loop; returns the exit code.
    virtual int Run();
    // Ends Run's event loop; does nothing outside Run (as in tests that drive the frames
    // without it).
    void EndRun();
    // The end: closes the documents still open (without prompts), destroys the main window,
    // writes the recent-file list. Returns the exit code.
    virtual int ExitInstance();

    // The program's name (string AFX_IDS_APP_TITLE unless given) and, from it, the Qt
    // application name. Called by AfxWinMain before InitInstance.
    void InitApplication();
    const std::string& GetAppName() const { return m_strAppName; }

    // Keeps the settings under `company` / the application name ($XDG_CONFIG_HOME/company/
    // name.conf).
    void SetRegistryKey(const std::string& company);

    // Reads the recent-file list of at most `maxMRU` entries ("Recent File List", File1..).
    void LoadStdProfileSettings(int maxMRU = 4);
    // Writes it back; done by ExitInstance.
    void SaveStdProfileSettings();

    // The settings file, opened afresh: $XDG_CONFIG_HOME/<registry key>/<name>.conf, the name
    // standing for both before SetRegistryKey. A file that cannot be read or written shows in
    // the status() of what this returns, never here.
    std::unique_ptr<QSettings> OpenSettings() const;

    // Registers the document template; the application owns it. The first one is the one
    // New uses.
    void AddDocTemplate(CMultiDocTemplate* docTemplate);
    CMultiDocTemplate* GetDocTemplate() const;

    // Reads the command line's words (m_arguments) into `info`.
    void ParseCommandLine(CCommandLineInfo& info);

    // Carries out `info`: FileNew runs ID_FILE_NEW once (fails only without a main window);
    // FileOpen opens the file (fails when it cannot be opened, after the message about it);
    // FilePrint/FilePrintTo open the file, send ID_FILE_PRINT_DIRECT through the main frame
    // and always return false, so that the program ends.
    bool ProcessShellCommand(CCommandLineInfo& info);

    // Opens `pathName` as a new document, or activates the document already open on it.
    // Null when it cannot be opened (the user has been told).
    virtual CDocument* OpenDocumentFile(const std::string& pathName);

    // Puts `pathName` at the head of the recent-file list.
    virtual void AddToRecentFileList(const std::string& pathName);
    CRecentFileList* GetRecentFileList() const { return m_pRecentFileList.get(); }

    // Asks for a file name (Open or Save As dialog) starting from `fileName`; false when
    // cancelled.
    bool DoPromptFileName(std::string& fileName, bool open);

    // Asks every modified document to save (one prompt each); false as soon as one cancels.
    bool SaveAllModified();
    // Closes every document (PreCloseDocument runs for each), without prompts.
    void CloseAllDocuments();
    std::vector<CDocument*> GetOpenDocuments() const;

    // The printer that printing uses; Print Setup changes it.
    QPrinter& GetPrinter();

    // File menu handlers.
    void OnFileNew();
    void OnFileOpen();
    void OnFilePrintSetup();
    void OnOpenRecentFile(int id);
    void OnUpdateRecentFileMenu(CCmdUI& ui);
    // Exit: the main window's close request.
    void OnAppExit();

    CFrameWnd* m_pMainWnd = nullptr;
    int m_nCmdShow;
    // The words of the command line after the program's name, without the options Qt took for
    // itself; AfxWinMain fills it before InitInstance. Empty when the application is started
    // some other way, unless the starter fills it.
    std::vector<std::string> m_arguments;
    // The command line being carried out while ProcessShellCommand prints, else null.
    const CCommandLineInfo* m_pCmdInfo = nullptr;

  protected:
    const MessageMap* GetMessageMap() const override;

  private:
    std::string m_strAppName;
    std::string m_strRegistryKey;
    std::vector<std::unique_ptr<CMultiDocTemplate>> m_templates;
    std::unique_ptr<CRecentFileList> m_pRecentFileList;
    std::unique_ptr<QPrinter> m_pPrinter;
    bool m_bRunning = false;
};

// The application object; null before it is constructed. Any thread.
CWinApp* AfxGetApp();

// The application's main frame; null before InitInstance sets it.
CFrameWnd* AfxGetMainWnd();

// The program's main: the Qt application, InitInstance, Run and ExitInstance of the one
// application object. Returns the exit code; 1 without an application object.
int AfxWinMain(int argc, char** argv);

}  // namespace drel
