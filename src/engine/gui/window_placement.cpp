#include "engine/gui/window_placement.h"

#include "engine/gui/window_guards.h"

#include <QScreen>
#include <QTimer>

#include <algorithm>
#include <cmath>

namespace zbir::workbook {

bool samePlace(const ApplicationState& a, const ApplicationState& b)
{
    return a.windowState == b.windowState && a.top == b.top && a.height == b.height;
}

WindowPlacement::WindowPlacement(QWidget& window, Engine& engine, bool& applying, int& own)
    : m_window(window), m_engine(engine), m_applying(applying), m_own(own)
{
}

void WindowPlacement::initialGeometry()
{
    if (const QScreen* s = m_window.screen()) {
        const QRect area = s->availableGeometry();
        const int width = std::min(area.width(), 1100);
        m_window.setGeometry(area.left() + (area.width() - width) / 2, area.top(), width,
                             std::min(area.height(), 700));
    }
}

double WindowPlacement::pointsPerPixel() const
{
    const QScreen* s = m_window.screen();
    const double dpi = s ? s->logicalDotsPerInchY() : 96.0;
    return 72.0 / (dpi > 0 ? dpi : 96.0);
}

// Where a maximised window would be: the screen's work area, in points.
void WindowPlacement::screenToEngine()
{
    const QScreen* s = m_window.screen();
    if (!s)
        return;
    const QRect area = s->availableGeometry();
    const double p = pointsPerPixel();
    const double top = area.top() * p;
    const double height = area.height() * p;
    const ApplicationState& now = m_engine.state();
    if (now.screenTop == top && now.screenHeight == height)
        return;
    Own own(m_own);
    m_engine.changeState([&](ApplicationState& st) {
        st.screenTop = top;
        st.screenHeight = height;
    });
}

// Automation often changes the state and place several times in one go (the
// placement below the main window maximises the window, reads, restores and
// moves it): the window takes the last of them once events are handled.
void WindowPlacement::post()
{
    if (m_pending)
        return;
    m_pending = true;
    QTimer::singleShot(0, &m_window, [this] {
        if (m_pending)
            place();
    });
}

void WindowPlacement::place()
{
    m_pending = false;
    Raise applying(m_applying);
    const ApplicationState& s = m_engine.state();
    const Qt::WindowStates want = s.windowState == xl::Maximized ? Qt::WindowMaximized
                                  : s.windowState == xl::Minimized  ? Qt::WindowMinimized
                                                                 : Qt::WindowNoState;
    if ((m_window.windowState() & (Qt::WindowMaximized | Qt::WindowMinimized)) != want)
        m_window.setWindowState(want);
    if (want == Qt::WindowNoState)
        placeNormal();
}

// Top and Height in points are the frame's; left and width stay.
void WindowPlacement::placeNormal()
{
    const ApplicationState& s = m_engine.state();
    const double p = pointsPerPixel();
    const QRect frame = m_window.frameGeometry();
    const int top = static_cast<int>(std::lround(s.top / p));
    const int frameHeight = static_cast<int>(std::lround(s.height / p));
    const int clientHeight =
        std::max(frameHeight - (frame.height() - m_window.height()), m_window.minimumSizeHint().height());
    if (frame.top() != top)
        m_window.move(frame.left(), top);
    if (m_window.height() != clientHeight)
        m_window.resize(m_window.width(), clientHeight);
}

void WindowPlacement::store()
{
    if (m_applying || !m_window.isVisible() ||
        (m_window.windowState() & (Qt::WindowMaximized | Qt::WindowMinimized)))
        return;
    const double p = pointsPerPixel();
    const QRect frame = m_window.frameGeometry();
    const double top = frame.top() * p;
    const double height = frame.height() * p;
    const ApplicationState& now = m_engine.state();
    if (std::lround(now.top / p) == frame.top() && std::lround(now.height / p) == frame.height())
        return;
    Own own(m_own);
    m_engine.changeState([&](ApplicationState& st) {
        st.top = top;
        st.height = height;
    });
}

void WindowPlacement::stateToEngine()
{
    if (m_applying)
        return;
    const int state = m_window.isMaximized() ? xl::Maximized : m_window.isMinimized() ? xl::Minimized : xl::Normal;
    if (state == m_engine.state().windowState)
        return;
    Own own(m_own);
    m_engine.changeState([state](ApplicationState& s) { s.windowState = state; });
}

}  // namespace zbir::workbook
