#include "framework/CMultiDocTemplate.h"

#include <algorithm>

#include "framework/CDocument.h"
#include "framework/CMDIChildWnd.h"
#include "framework/CMDIFrameWnd.h"
#include "framework/CView.h"
#include "framework/CWinApp.h"
#include "framework/FrameStyles.h"
#include "framework/Resources.h"

namespace drel {

CMultiDocTemplate::CMultiDocTemplate(int nIDResource, DocumentFactory createDocument,
                                     FrameFactory createFrame, ViewFactory createView)
    : m_nIDResource(nIDResource),
      m_createDocument(std::move(createDocument)),
      m_createFrame(std::move(createFrame)),
      m_createView(std::move(createView)) {}

CMultiDocTemplate::~CMultiDocTemplate() {
    while (!m_docs.empty()) {
        m_docs.back()->OnCloseDocument();
    }
}

bool CMultiDocTemplate::GetDocString(std::string& text, DocStringIndex index) const {
    text = AfxLoadStringField(m_nIDResource, index);
    return !text.empty();
}

CDocument* CMultiDocTemplate::OpenDocumentFile(const std::string& pathName, bool makeVisible) {
    CDocument* doc = m_createDocument ? m_createDocument() : nullptr;
    if (doc == nullptr) {
        return nullptr;
    }
    doc->m_pDocTemplate = this;
    m_docs.push_back(doc);
    CMDIChildWnd* frame = CreateNewFrame(doc);
    if (frame == nullptr) {
        doc->OnCloseDocument();
        return nullptr;
    }
    if (pathName.empty()) {
        // The document may set a title of its own in OnNewDocument.
        SetDefaultTitle(doc);
        if (!doc->OnNewDocument()) {
            doc->OnCloseDocument();
            return nullptr;
        }
        ++m_nUntitledCount;
    } else {
        if (!doc->OnOpenDocument(pathName)) {
            doc->OnCloseDocument();
            return nullptr;
        }
        doc->SetPathName(pathName);
    }
    InitialUpdateFrame(frame, doc, makeVisible);
    return doc;
}

CMDIChildWnd* CMultiDocTemplate::CreateNewFrame(CDocument* doc) {
    auto* mainFrame = dynamic_cast<CMDIFrameWnd*>(AfxGetMainWnd());
    if (mainFrame == nullptr || !m_createFrame) {
        return nullptr;
    }
    CMDIChildWnd* frame = m_createFrame();
    if (frame == nullptr) {
        return nullptr;
    }
    CCreateContext context{doc, m_createView};
    if (!frame->LoadFrame(m_nIDResource, WS_CHILD | WS_OVERLAPPEDWINDOW | FWS_ADDTOTITLE, mainFrame,
                          &context)) {
        frame->DestroyWindow();
        return nullptr;
    }
    return frame;
}

void CMultiDocTemplate::InitialUpdateFrame(CMDIChildWnd* frame, CDocument* doc, bool makeVisible) {
    if (CView* view = frame->GetActiveView()) {
        view->OnInitialUpdate();
    }
    doc->UpdateFrameCounts();
    if (makeVisible) {
        frame->show();
        frame->MDIActivate();
    }
}

void CMultiDocTemplate::SetDefaultTitle(CDocument* doc) {
    std::string name;
    if (!GetDocString(name, docName)) {
        name = "Untitled";
    }
    doc->SetTitle(name + std::to_string(m_nUntitledCount + 1));
}

void CMultiDocTemplate::RemoveDocument(CDocument* doc) {
    std::erase(m_docs, doc);
}

}  // namespace drel
