#pragma once

// A view that is a multi-line edit control: its text is the document's data.
//
// The text is 8-bit characters in the system code page, one character per byte, with CR LF
// pairs as line breaks (see EditTextCodec.h for how Qt's editor holds it). Positions and
// lengths count bytes; a CR LF pair counts two. The text functions (GetWindowTextLength,
// GetWindowText, SetWindowText, SetSel, ReplaceSel, ScrollCaret) may be called from any thread:
// each runs on the user-interface thread while the caller waits (CallOnUiThread).
//
// The control uses the system's fixed-width font and never wraps lines. Every change of the
// text marks the document modified. The view handles the Edit menu's Undo, Cut, Copy and Paste
// on its text; OnChar gets every typed character and OnLButtonDblClk every left double click
// before the editor does (see EditControl.h). Its printout is its text in the fixed-width font,
// long lines wrapped, as many lines per page as fit.

#include <QPoint>
#include <QSize>
#include <string>

#include "framework/CView.h"

class QPlainTextEdit;

namespace drel {

class CArchive;
class EditControl;

class CEditView : public CView {
    Q_OBJECT

  public:
    CEditView();
    ~CEditView() override;

    // The edit control. User-interface thread.
    QPlainTextEdit& GetEditCtrl() const;

    // The length of the text in characters (bytes; a CR LF pair counts two). Any thread.
    int GetWindowTextLength() const;
    // The whole text. Any thread.
    std::string GetWindowText() const;
    // Replaces the whole text; the selection goes to the start and undo history is cleared.
    // Any thread.
    void SetWindowText(const std::string& text);

    // Selects from `start` to `end` (-1 as `end`: the end of the text; -1 as `start`: no
    // selection, the caret stays). Positions beyond the text are taken as its end. Unless
    // `noScroll`, scrolls the caret into view. Any thread.
    void SetSel(int start, int end, bool noScroll = false);
    // Replaces the selection with `text` and puts the caret after it. With `canUndo` false the
    // change records no undo step and the undo history is cleared. Any thread.
    void ReplaceSel(const std::string& text, bool canUndo = false);
    // Shows the selection in the editor now and scrolls the caret into view. (SetSel and
    // ReplaceSel show theirs when the event loop next runs, once for any number of calls.)
    // Any thread.
    void ScrollCaret();

    // Save: writes the text's bytes exactly (no header, no terminating zero). Load: the whole
    // file becomes the text. Failures are recorded in `ar`. User-interface thread.
    void SerializeRaw(CArchive& ar);

    // Every character typed into the view (see CharacterCodes), `repeat` times; `flags` holds
    // the scan code (low byte), bit 13 for Alt, bit 14 for auto-repeat. The base lets the editor
    // insert it. User-interface thread.
    virtual void OnChar(unsigned ch, unsigned repeat, unsigned flags);
    // A left double click at `point`; `flags` holds MK_* bits. The base selects the word.
    virtual void OnLButtonDblClk(unsigned flags, const QPoint& point);

    // The size that shows `columns` × `lines` characters of the view's font without scrolling,
    // with room for the vertical scroll bar. User-interface thread.
    QSize SizeForText(int columns, int lines) const;

    // Printing: the page layout is made on the job's first page.
    void OnPrepareDC(QPainter* painter, CPrintInfo* pInfo) override;
    void OnPrint(QPainter* painter, CPrintInfo* pInfo) override;

    // Edit commands and their states.
    void OnEditUndo();
    void OnEditCut();
    void OnEditCopy();
    void OnEditPaste();
    void OnUpdateEditUndo(CCmdUI& ui);
    void OnUpdateNeedSel(CCmdUI& ui);
    void OnUpdateEditPaste(CCmdUI& ui);

  protected:
    const MessageMap* GetMessageMap() const override;

  private:
    struct Position {
        int doc;       // position in the editor's document
        bool midPair;  // between the CR and the LF of a line break (doc is before the break)
    };

    Position DocPositionOf(int offset) const;
    int OffsetOf(int docPosition) const;
    int TextLength() const;
    std::string Text() const;
    void Replace(int start, int end, const std::string& text, bool canUndo);
    void ShowSelection(bool scroll = false);
    void ShowPendingSelection();
    void OnCursorMoved();

    EditControl* m_pEdit;
    int m_nSelAnchor = 0;
    int m_nSelCaret = 0;
    bool m_bMovingCursor = false;
    // A selection set through the members is shown in the editor when the event loop next
    // runs, once for any number of changes: placing the editor's cursor lays out its line, and
    // a program that appends text in small runs would pay that for every run.
    bool m_bSelectionPending = false;
    bool m_bScrollPending = false;
};

}  // namespace drel
