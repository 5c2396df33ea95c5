#pragma once

// The terminal window of a connection: an edit view whose text is what the device sent.
//
// Received text arrives through ShowText, from the receive loop, the download worker or a
// keystroke's write marker, and is carried out on the user-interface thread under the display
// rules (ShowTextRules.h). Typed characters are not inserted: each is sent to the port as one
// byte, and only what the device sends back shows. The view that was activated or deactivated
// last is the one its connection shows text in.

#include <QTimer>

#include "framework/CEditView.h"
#include "terminal/OutputView.h"

namespace drel {

struct PortConnection;

class CDrelView : public CEditView, public OutputView {
    Q_OBJECT

  public:
    CDrelView();
    // Stops being its connection's output view.
    ~CDrelView() override;

    // Shows one run of received text at the end of the terminal. Any thread; the caller waits
    // until the user-interface thread has done it.
    void ShowText(const std::string& text) override;

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

  protected:
    const MessageMap* GetMessageMap() const override;

  private:
    // The connection of the view's document; null for a document that is not a terminal.
    PortConnection* Connection() const;
    void ApplyShowText(const std::string& text);
    void HoldRepaintsForAFrame();

    // Ends a frame in which received text changed the terminal without repainting it.
    QTimer m_frameTimer;
};

}  // namespace drel
