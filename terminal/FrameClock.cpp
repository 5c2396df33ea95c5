#include "terminal/FrameClock.h"

#include <QCoreApplication>
#include <QPointer>
#include <algorithm>

#include "terminal/CDrelView.h"

namespace drel {

namespace {

constexpr int kForegroundIntervalMs = 40;
constexpr int kBackgroundIntervalMs = 120;

// Owned by the application object, so that they go with the event loop they run on.
QPointer<FrameClock> g_foreground;
QPointer<FrameClock> g_background;

}  // namespace

FrameClock& FrameClock::Foreground() {
    if (g_foreground == nullptr) {
        g_foreground = new FrameClock(kForegroundIntervalMs, QCoreApplication::instance());
    }
    return *g_foreground;
}

FrameClock& FrameClock::Background() {
    if (g_background == nullptr) {
        g_background = new FrameClock(kBackgroundIntervalMs, QCoreApplication::instance());
    }
    return *g_background;
}

void FrameClock::Forget(CDrelView* view) {
    for (FrameClock* clock : {g_foreground.data(), g_background.data()}) {
        if (clock != nullptr) {
            std::erase(clock->m_waiting, view);
        }
    }
}

FrameClock::FrameClock(int intervalMs, QObject* parent)
    : QObject(parent), m_intervalMs(intervalMs) {
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
    const qint64 since = m_sinceFrame.isValid() ? m_sinceFrame.elapsed() : m_intervalMs;
    m_timer.start(static_cast<int>(std::max<qint64>(0, m_intervalMs - since)));
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
