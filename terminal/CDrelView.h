#pragma once

// The terminal window of a connection: an edit view whose text is what the device sent.
//
// Received text arrives through ShowText, from the receive loop, the download worker or a
// write's marker, on any thread, and waits in the view's PendingText; the user-interface thread
// shows what waits in the next frame (FrameClock.h), as one edit of the text under the display
// rules (ShowTextRules.h). So a device that floods costs the window one edit a frame, and no
// thread that hands text over ever waits for the window. Typed characters are not inserted: each
// is sent to the port as one byte, and only what the device sends back shows. The view that was
// activated or deactivated last is the one its connection shows text in.
//
// "&Hex" in the "&View" menu shows a hex dump of what the connection received (HexView.h) in
// place of the text, and back. The text goes on taking what arrives meanwhile, hidden, so that
// switching back shows it as if the window had never switched, and saving and printing always
// take the text.

#include "framework/CEditView.h"
#include "terminal/HexView.h"
#include "terminal/OutputView.h"
#include "terminal/PendingText.h"

namespace drel {

struct PortConnection;

class CDrelView : public CEditView, public OutputView {
    Q_OBJECT

  public:
    CDrelView();
    // Stops being its connection's output view.
    ~CDrelView() override;

    // Hands one run of received text to the terminal, which shows it at the end of its text
    // within a frame. Any thread; returns at once.
    void ShowText(std::string_view text) override;

    // Shows at once the text still waiting, if any, as saving and printing need.
    // User-interface thread.
    void ApplyPendingText();

    // Hands the character's low 8 bits to the connection's writer, which sends them to the port
    // as one byte; returns at once, and nothing is inserted.
    void OnChar(unsigned ch, unsigned repeat, unsigned flags) override;

    // Selects nothing: a double click in a terminal is not a word selection.
    void OnLButtonDblClk(unsigned flags, const QPoint& point) override;

    // Makes this view its connection's output view, on activation and deactivation alike.
    void OnActivateView(bool activate, CView* activated, CView* deactivated) override;

    // The printing steps: the print dialog; nothing of the edit view's own begin and end.
    bool OnPreparePrinting(CPrintInfo* pInfo) override;
    void OnBeginPrinting(QPainter* painter, CPrintInfo* pInfo) override;
    void OnEndPrinting(QPainter* painter, CPrintInfo* pInfo) override;

    // "&Auto Down load": starts the auto-download chain on the view's connection.
    void OnAutoDownload();

    // "&Hex": switches between the text and the hex dump; checked while the dump shows.
    void OnViewHex();
    void OnUpdateViewHex(CCmdUI& ui);

    // The hex dump, shown or not. User-interface thread.
    HexView& GetHexView() const { return *m_pHex; }
    bool IsHexShown() const;

    // The size of the classic terminal screen, 80 columns by 24 lines of the view's font: the
    // size a new terminal window opens at when there is room for it.
    QSize sizeHint() const override;

  protected:
    const MessageMap* GetMessageMap() const override;

  private:
    // The connection of the view's document; null for a document that is not a terminal.
    PortConnection* Connection() const;
    // Whether this is the view of the active terminal window, the one the user works in.
    bool IsActiveTerminal() const;
    void OnTextWaiting();
    void OnTextChanged();

    PendingText m_pending;
    HexView* m_pHex;
    bool m_bApplying = false;  // the text changes because waiting text is shown
};

}  // namespace drel
