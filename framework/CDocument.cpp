#include "framework/CDocument.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <algorithm>

#include "framework/AfxMessageBox.h"
#include "framework/CArchive.h"
#include "framework/CMDIChildWnd.h"
#include "framework/CMultiDocTemplate.h"
#include "framework/CView.h"
#include "framework/CWinApp.h"
#include "framework/StandardIds.h"

namespace drel {

CDocument::CDocument() = default;

CDocument::~CDocument() {
    for (CView* view : m_views) {
        view->m_pDocument = nullptr;
    }
}

const MessageMap* CDocument::GetMessageMap() const {
    static const MessageMap map(CCmdTarget::GetMessageMap(),
                                {MapCommand(ID_FILE_CLOSE, &CDocument::OnFileClose),
                                 MapCommand(ID_FILE_SAVE, &CDocument::OnFileSave),
                                 MapCommand(ID_FILE_SAVE_AS, &CDocument::OnFileSaveAs)});
    return &map;
}

void CDocument::SetTitle(const std::string& title) {
    m_strTitle = title;
    UpdateFrameCounts();
}

void CDocument::SetPathName(const std::string& pathName, bool addToMRU) {
    const QFileInfo info(ToQString(pathName));
    m_strPathName = ToStdString(info.absoluteFilePath());
    SetTitle(ToStdString(info.fileName()));
    if (addToMRU && AfxGetApp() != nullptr) {
        AfxGetApp()->AddToRecentFileList(m_strPathName);
    }
}

void CDocument::AddView(CView* view) {
    if (std::find(m_views.begin(), m_views.end(), view) == m_views.end()) {
        m_views.push_back(view);
        view->m_pDocument = this;
    }
}

void CDocument::RemoveView(CView* view) {
    std::erase(m_views, view);
    view->m_pDocument = nullptr;
    if (!m_bClosing) {
        UpdateFrameCounts();
    }
}

std::vector<CFrameWnd*> CDocument::Frames() const {
    std::vector<CFrameWnd*> frames;
    for (CView* view : m_views) {
        CFrameWnd* frame = view->GetParentFrame();
        if (frame != nullptr && std::find(frames.begin(), frames.end(), frame) == frames.end()) {
            frames.push_back(frame);
        }
    }
    return frames;
}

void CDocument::UpdateFrameCounts() {
    const std::vector<CFrameWnd*> frames = Frames();
    int number = 1;
    for (CFrameWnd* frame : frames) {
        frame->SetWindowNumber(frames.size() > 1 ? number++ : 0);
        frame->OnUpdateFrameTitle(true);
    }
}

bool CDocument::OnNewDocument() {
    DeleteContents();
    m_strPathName.clear();
    SetModifiedFlag(false);
    return true;
}

bool CDocument::OnOpenDocument(const std::string& pathName) {
    QFile file(ToQString(pathName));
    if (!file.open(QIODevice::ReadOnly)) {
        AfxMessageBox(
            "Cannot open the file " + pathName + ":\n" + ToStdString(file.errorString()) + ".",
            MB_OK | MB_ICONEXCLAMATION);
        return false;
    }
    DeleteContents();
    CArchive ar(file, CArchive::load);
    Serialize(ar);
    if (ar.Failed()) {
        AfxMessageBox("Cannot read the file " + pathName + ":\n" + ar.ErrorText() + ".",
                      MB_OK | MB_ICONEXCLAMATION);
        DeleteContents();
        return false;
    }
    SetModifiedFlag(false);
    return true;
}

bool CDocument::OnSaveDocument(const std::string& pathName) {
    QSaveFile file(ToQString(pathName));
    bool saved = file.open(QIODevice::WriteOnly);
    if (saved) {
        CArchive ar(file, CArchive::store);
        Serialize(ar);
        saved = !ar.Failed() && file.commit();
    }
    if (!saved) {
        AfxMessageBox(
            "Cannot save the file " + pathName + ":\n" + ToStdString(file.errorString()) + ".",
            MB_OK | MB_ICONEXCLAMATION);
        return false;
    }
    SetModifiedFlag(false);
    return true;
}

void CDocument::DeleteContents() {}

void CDocument::Serialize(CArchive&) {}

bool CDocument::SaveModified() {
    if (!IsModified()) {
        return true;
    }
    switch (
        AfxMessageBox("Save changes to " + m_strTitle + "?", MB_YESNOCANCEL | MB_ICONQUESTION)) {
        case IDYES:
            return DoFileSave();
        case IDNO:
            return true;
        default:
            return false;
    }
}

bool CDocument::CanCloseFrame(CFrameWnd* frame) {
    for (CFrameWnd* other : Frames()) {
        if (other != frame) {
            return true;
        }
    }
    return SaveModified();
}

void CDocument::PreCloseDocument() {}

void CDocument::OnCloseDocument() {
    if (m_bClosing) {
        return;
    }
    m_bClosing = true;
    PreCloseDocument();
    for (CFrameWnd* frame : Frames()) {
        if (auto* child = dynamic_cast<CMDIChildWnd*>(frame)) {
            child->DestroyWindow();
        }
    }
    for (CView* view : std::vector<CView*>(m_views)) {
        RemoveView(view);
    }
    DeleteContents();
    if (m_pDocTemplate != nullptr) {
        m_pDocTemplate->RemoveDocument(this);
    }
    delete this;
}

bool CDocument::DoSave(const std::string& pathName, bool replace) {
    std::string newName = pathName;
    if (newName.empty()) {
        newName = m_strPathName.empty() ? m_strTitle : m_strPathName;
        if (AfxGetApp() == nullptr || !AfxGetApp()->DoPromptFileName(newName, false)) {
            return false;
        }
    }
    if (!OnSaveDocument(newName)) {
        return false;
    }
    if (replace) {
        SetPathName(newName);
    }
    return true;
}

bool CDocument::DoFileSave() {
    return DoSave(m_strPathName);
}

void CDocument::OnFileClose() {
    if (SaveModified()) {
        OnCloseDocument();
    }
}

void CDocument::OnFileSave() {
    DoFileSave();
}

void CDocument::OnFileSaveAs() {
    DoSave({});
}

}  // namespace drel
