#pragma once

// A document: the data behind one or more views, its title, file name and modified flag.
//
// The document template makes a document together with its first child frame and view, then
// runs OnNewDocument or OnOpenDocument. Save and Open go through a CArchive on the file and the
// virtual Serialize. A document ends in OnCloseDocument, whichever way it is closed: the close
// box of its last window (CanCloseFrame decides first), the Close command, the end of the
// program, or a failed creation. PreCloseDocument runs first on every one of these paths, while
// the views still exist, so that a subclass can stop what feeds them; then the windows are
// destroyed and the document is deleted. User-interface thread only.

#include <string>
#include <vector>

#include "framework/CCmdTarget.h"

namespace drel {

class CArchive;
class CFrameWnd;
class CMultiDocTemplate;
class CView;

class CDocument : public CCmdTarget {
  public:
    CDocument();
    ~CDocument() override;
    CDocument(const CDocument&) = delete;
    CDocument& operator=(const CDocument&) = delete;

    // The title shown in the document's window captions. Setting it updates them.
    const std::string& GetTitle() const { return m_strTitle; }
    virtual void SetTitle(const std::string& title);

    // The file the document was opened from or saved to; empty for a new document. Setting it
    // also makes the file's name the title and, with `addToMRU`, puts the file at the head of
    // the recent-file list.
    const std::string& GetPathName() const { return m_strPathName; }
    virtual void SetPathName(const std::string& pathName, bool addToMRU = true);

    // Whether the document has changes that were not saved; the close paths ask to save them.
    bool IsModified() const { return m_bModified; }
    void SetModifiedFlag(bool modified = true) { m_bModified = modified; }

    // True from the start of OnCloseDocument: the document is going.
    bool IsClosing() const { return m_bClosing; }

    // The template that made the document.
    CMultiDocTemplate* GetDocTemplate() const { return m_pDocTemplate; }

    // The views in the order they were added; the first is the head of the list.
    const std::vector<CView*>& GetViews() const { return m_views; }
    CView* GetFirstView() const { return m_views.empty() ? nullptr : m_views.front(); }

    // Attaches and detaches a view (the frames do this). A document without views stays until
    // OnCloseDocument ends it.
    void AddView(CView* view);
    void RemoveView(CView* view);

    // Numbers the document's frames (":1", ":2" in their titles when there are several) and
    // updates their titles.
    void UpdateFrameCounts();

    // A new document: the base empties it (DeleteContents) and clears the modified flag.
    // Returning false discards the document and its windows.
    virtual bool OnNewDocument();

    // Loads the document from `pathName` through Serialize. On failure tells the user (naming
    // the file) and returns false; the template then discards the document.
    virtual bool OnOpenDocument(const std::string& pathName);

    // Saves the document to `pathName` through Serialize; the file is replaced only once
    // everything was written. On failure tells the user and returns false, the old file intact.
    virtual bool OnSaveDocument(const std::string& pathName);

    // Empties the document's data. The base does nothing.
    virtual void DeleteContents();

    // Writes the document to, or reads it from, `ar`. The base does nothing.
    virtual void Serialize(CArchive& ar);

    // When modified, asks "Save changes to <title>?" (Yes/No/Cancel) and saves on Yes. Returns
    // false when the user cancelled or the save failed: the caller must not close.
    virtual bool SaveModified();

    // Whether `frame` may close: the base asks SaveModified only when `frame` is the document's
    // last frame.
    virtual bool CanCloseFrame(CFrameWnd* frame);

    // Runs once, first thing when the document ends, on every path that ends it (see the class
    // comment). The base does nothing.
    virtual void PreCloseDocument();

    // Ends the document: PreCloseDocument, then destroys its frames and deletes the document.
    // Nothing of the document may be used afterwards. A second call while closing does nothing.
    void OnCloseDocument();

    // Saves to `pathName`; with an empty name asks for one first. With `replace` the document
    // takes the new name. False when cancelled or failed.
    bool DoSave(const std::string& pathName, bool replace = true);
    // Save: a document without a file asks for a name.
    bool DoFileSave();

    // The File menu's Close, Save and Save As commands.
    void OnFileClose();
    void OnFileSave();
    void OnFileSaveAs();

  protected:
    const MessageMap* GetMessageMap() const override;

  private:
    friend class CMultiDocTemplate;

    std::vector<CFrameWnd*> Frames() const;

    std::string m_strTitle;
    std::string m_strPathName;
    bool m_bModified = false;
    bool m_bClosing = false;
    CMultiDocTemplate* m_pDocTemplate = nullptr;
    std::vector<CView*> m_views;
};

}  // namespace drel
