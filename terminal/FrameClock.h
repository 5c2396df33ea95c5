#pragma once

// The frames in which terminal windows show the text that waits for them.
//
// A terminal with text waiting asks its clock for the next frame; the clock then shows the
// waiting text of every terminal that asked, all in one pass of the event loop, so that they are
// painted together: with many windows side by side, one pass paints them all once instead of
// each repainting its neighbours in turn. The first text after a quiet spell shows at once, so
// what a device answers to a key shows without delay; while text keeps coming, a frame follows
// the last one after the clock's interval. Showing costs a window about the same for a line as
// for a screenful (the editor lays out and repaints what it shows either way), so the intervals
// bound what a flood costs: the active terminal, the one the user works in, shows 25 frames a
// second, the rate at which desktop terminals show output that does not stop; the others, which
// the user watches, about 8.

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <vector>

namespace drel {

class CDrelView;

class FrameClock : public QObject {
  public:
    // The clock of the active terminal, and that of the others; made on first use.
    // User-interface thread.
    static FrameClock& Foreground();
    static FrameClock& Background();

    // Shows the text waiting for `view` in the next frame. User-interface thread.
    void Request(CDrelView* view);

    // Forgets a view that goes away, on every clock that has it waiting. User-interface thread.
    static void Forget(CDrelView* view);

  private:
    FrameClock(int intervalMs, QObject* parent);
    void RunFrame();

    const int m_intervalMs;
    QTimer m_timer;
    QElapsedTimer m_sinceFrame;
    std::vector<CDrelView*> m_waiting;  // in the order they asked
};

}  // namespace drel
