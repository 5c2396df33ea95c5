#pragma once

// The document template: what kind of document, child frame and view a document is made of,
// its resources (menu, icon and document string under one id), and the open documents of that
// kind.
//
// OpenDocumentFile makes a document with its child frame and view inside the main frame, then
// runs the document's OnNewDocument (no file) or OnOpenDocument (a file); when that fails,
// everything made is discarded and no window is left behind. A new document's title starts as
// the document name with a number ("Drel1", "Drel2" ...) until the document sets its own.
//
// The document string (the string with the template's id) has seven '\n'-separated fields:
// window title, document name, new-document type name, filter description, filter extension,
// file type id, file type name. User-interface thread only.

#include <functional>
#include <string>
#include <vector>

#include "framework/CCmdTarget.h"

namespace drel {

class CDocument;
class CMDIChildWnd;
class CView;

// A factory that makes a new object of class T with its default constructor, for the document
// template (CreateObject<CMyDoc>).
template <class T>
T* CreateObject() {
    return new T;
}

class CMultiDocTemplate : public CCmdTarget {
  public:
    // The fields of the document string that the framework reads, by position.
    enum DocStringIndex { docName = 1 };

    using DocumentFactory = std::function<CDocument*()>;
    using FrameFactory = std::function<CMDIChildWnd*()>;
    using ViewFactory = std::function<CView*()>;

    CMultiDocTemplate(int nIDResource, DocumentFactory createDocument, FrameFactory createFrame,
                      ViewFactory createView);
    // Closes the documents still open.
    ~CMultiDocTemplate() override;
    CMultiDocTemplate(const CMultiDocTemplate&) = delete;
    CMultiDocTemplate& operator=(const CMultiDocTemplate&) = delete;

    // Field `index` of the document string; false (and `text` empty) when the field is empty.
    bool GetDocString(std::string& text, DocStringIndex index) const;

    // A new document (empty `pathName`) or one loaded from `pathName`, with its frame and view,
    // shown and activated when `makeVisible`. Null when the document refused (OnNewDocument or
    // OnOpenDocument returned false) or there is no main frame to hold the window.
    CDocument* OpenDocumentFile(const std::string& pathName, bool makeVisible = true);

    // A further child frame and view on `doc` (New Window), not yet shown; null on failure.
    CMDIChildWnd* CreateNewFrame(CDocument* doc);

    // Completes a new frame: the view's OnInitialUpdate, then shows and activates it.
    void InitialUpdateFrame(CMDIChildWnd* frame, CDocument* doc, bool makeVisible = true);

    // Gives `doc` the next default title ("Drel1" ...).
    void SetDefaultTitle(CDocument* doc);

    // The open documents, oldest first.
    const std::vector<CDocument*>& GetDocuments() const { return m_docs; }

  private:
    friend class CDocument;

    void RemoveDocument(CDocument* doc);

    int m_nIDResource;
    DocumentFactory m_createDocument;
    FrameFactory m_createFrame;
    ViewFactory m_createView;
    std::vector<CDocument*> m_docs;
    int m_nUntitledCount = 0;
};

}  // namespace drel
