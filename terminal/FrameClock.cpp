#include "terminal/FrameClock.h"

#include <QCoreApplication>
#include <QPointer>
#include <algorithm>

#include "terminal/CDrelView.h"

namespace drel {

namespace {

// Owned by the application object, so that it goes with the event loop it runs on.
QPointer<FrameClock> g_clock;

}  // namespace

FrameClock& FrameClock::Instance() {
    if (g_clock == nullptr) {
        g_clock = new FrameClock(QCoreApplication::instance());
    }
    return *g_clock;
}

void FrameClock::Forget(CDrelView* view) {
    if (g_clock != nullptr) {
        std::erase(g_clock->m_waiting, view);
    }
}

FrameClock::FrameClock(QObject* parent) : QObject(parent) {
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &FrameClock::RunFrame);
}

void FrameClock::Request(CDrelView* view) {
    if (std::find(m_waiting.begin(), m_waiting.end(), view) == m_waiting.end()) {
        m_waiting.push_back(view);
    }
    if (m_timer.isActive()) {
        return;
    }
    const qint64 since = m_sinceFrame.isValid() ? m_sinceFrame.elapsed() : kFrameMs;
    m_timer.start(static_cast<int>(std::max<qint64>(0, kFrameMs - since)));
}

void FrameClock::RunFrame() {
    m_sinceFrame.start();
    // A view may go away while another shows its text (a message box's loop runs events).
    while (!m_waiting.empty()) {
        CDrelView* view = m_waiting.front();
        m_waiting.erase(m_waiting.begin());
        view->ApplyPendingText();
    }
}

}  // namespace drel
