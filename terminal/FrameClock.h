#pragma once

// The frames in which terminal windows show the text that waits for them.
//
// A terminal with text waiting asks for the next frame; the clock then shows the waiting text
// of every terminal that asked, all in one pass of the event loop, at most once every kFrameMs,
// and at once when no frame ran in the last kFrameMs (a terminal that was idle shows what comes
// without delay). Terminals that change together are painted together: with many windows side by
// side, one pass paints them all once instead of each repainting its neighbours in turn.

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <vector>

namespace drel {

class CDrelView;

class FrameClock : public QObject {
  public:
    // A frame lasts this long: received text shows at most this often.
    static constexpr int kFrameMs = 16;

    // The clock of the application, made on first use. User-interface thread.
    static FrameClock& Instance();

    // Shows the text waiting for `view` in the next frame. User-interface thread.
    void Request(CDrelView* view);

    // Forgets a view that goes away, if the clock has it waiting. User-interface thread.
    static void Forget(CDrelView* view);

  private:
    explicit FrameClock(QObject* parent);
    void RunFrame();

    QTimer m_timer;
    QElapsedTimer m_sinceFrame;
    std::vector<CDrelView*> m_waiting;  // in the order they asked
};

}  // namespace drel
