#pragma once

// The edit control inside a CEditView: Qt's plain-text editor with the view's key and mouse
// hooks in front of its own handling.
//
// A key press that types a character goes to the view's OnChar (once per character), whose base
// hands it back here for the editor's own handling; keys that type nothing (arrows, Home, End,
// page keys, Delete) go straight to the editor. Keys that are accelerators of the frame are
// never claimed by the editor, so they reach the frame's shortcuts as commands; Qt's editor
// would otherwise keep Ctrl+C, Ctrl+V and the like for itself. A left double click goes to
// OnLButtonDblClk, whose base selects the word. User-interface thread only.

#include <QPlainTextEdit>
#include <vector>

namespace drel {

class CEditView;

// The character codes a key press types, for OnChar: Enter 0x0D, Backspace 0x08, Tab 0x09,
// Escape 0x1B, Ctrl+letter 1..26 (worked out from the key, since the text Qt reports with Ctrl
// held varies), otherwise the typed text, each character beyond Latin-1 as '?'. Empty for keys
// that type nothing, including Alt combinations.
std::vector<unsigned> CharacterCodes(const QKeyEvent& event);

class EditControl : public QPlainTextEdit {
    Q_OBJECT

  public:
    explicit EditControl(CEditView& view);

    // The editor's own handling of character `ch`: the key press being dispatched when there
    // is one (once per press), otherwise the insertion of `ch`.
    void RunOwnCharacter(unsigned ch);

    // The editor's own handling of the double click being dispatched, if any.
    void RunOwnDoubleClick();

  protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void insertFromMimeData(const QMimeData* source) override;

  private:
    CEditView& m_view;
    QKeyEvent* m_pKeyEvent = nullptr;
    bool m_bOwnKeyDone = false;
    QMouseEvent* m_pDoubleClick = nullptr;
};

}  // namespace drel
