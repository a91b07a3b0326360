#include "panel/NotchPanel.h"

#include "AppCore.h"
#include "panel/ScreenSpace.h"

#include <QCursor>
#include <QGuiApplication>
#include <QScreen>
#include <cmath>

NotchPanel::NotchPanel(SessionStore& store, const NotchGeometry& geo, NotchView::Actions actions, const Clock& clock,
                       QObject* parent)
    : QObject(parent), m_store(store), m_geo(geo), m_island(store),
      m_view(new NotchView(store, m_island, geo, std::move(actions), clock)),
      m_window(std::make_unique<NotchWindow>(m_view)) {
    pointer = [] { return QCursor::pos(); };
    m_tick.setInterval(tickMs);
    connect(&m_tick, &QTimer::timeout, this, [this] {
        trackHover();
        resize();
    });
    // Opening on a gate must not wait for the next tick; posted, so the view has refreshed and measured first.
    connect(&m_island, &IslandState::changed, this, &NotchPanel::scheduleResize);
    connect(&m_island, &IslandState::measuredHeightChanged, this, &NotchPanel::scheduleResize);
    // A gate that arrives while another window covers the island brings it back on top.
    connect(&m_store, &SessionStore::gatesChanged, m_window.get(), [this] {
        if (!m_store.gates().isEmpty())
            m_window->bringToFront();
    });
    // The screen it hangs from may go, or stop being the primary one: measure again, never keep the old one.
    connect(qGuiApp, &QGuiApplication::primaryScreenChanged, this, &NotchPanel::followScreens);
    connect(qGuiApp, &QGuiApplication::screenRemoved, this, &NotchPanel::followScreens);
    connect(qGuiApp, &QGuiApplication::screenAdded, this, &NotchPanel::followScreens);
}

NotchPanel::NotchPanel(AppCore& core, const NotchGeometry& geo, std::function<void()> onSettings,
                       std::function<void()> onQuit, QObject* parent)
    : NotchPanel(
          core.store(), geo,
          {std::move(onSettings), std::move(onQuit),
           [&core](const Gate& gate) { core.rules().add(gate.toolName(), gate.detail(), Vorlix::Behavior::allow); }},
          Clock::system(), parent) {}

NotchPanel::~NotchPanel() = default;

void NotchPanel::show() {
    m_window->show();
    resize();
    m_tick.start();
    emit shown();
}

QString NotchPanel::firstActivity() const {
    return m_store.sessions().isEmpty() ? QString() : m_store.sessions().constFirst()->activity();
}

void NotchPanel::scheduleResize() {
    if (m_resizePending)
        return;
    m_resizePending = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_resizePending = false;
            resize();
        },
        Qt::QueuedConnection);
}

void NotchPanel::followScreens() {
    m_geo = NotchGeometry::detect();
    m_lastScreen = QRect();
    resize();
}

void NotchPanel::trackHover() {
    QScreen* primary = QGuiApplication::primaryScreen();
    if (primary == nullptr)
        return;
    const ScreenSpace space(primary->geometry());
    const QRectF hot = PanelLayout::hotArea(m_island.hovering(), m_store.sessions().size(), firstActivity(), m_geo,
                                            space.up(NotchGeometry::frameOf(m_geo)));
    m_island.setHovering(PanelLayout::contains(hot, space.pointer(pointer())));
}

bool NotchPanel::resize() {
    m_view->refreshNow();
    QScreen* primary = QGuiApplication::primaryScreen();
    if (primary == nullptr)
        return false;
    // Read afresh every time: a resolution change moves the top edge.
    const QRect screen = NotchGeometry::frameOf(m_geo);
    const QRect available = NotchGeometry::availableFrameOf(m_geo);
    m_view->setRoom(available.bottom() + 1 - screen.top());
    const PanelLayout::Target target = PanelLayout::target(m_island.open(), m_store.sessions().size(), firstActivity(),
                                                           m_geo, m_island.measuredHeight());
    if (target == m_last && screen == m_lastScreen)
        return false;
    m_last = target;
    m_lastScreen = screen;
    const ScreenSpace space(primary->geometry());
    const QRectF qt = space.qt(PanelLayout::frame(target, m_geo, space.up(screen)));
    const QRect frame(static_cast<int>(std::round(qt.x())), static_cast<int>(std::round(qt.y())),
                      static_cast<int>(std::ceil(qt.width())), static_cast<int>(std::ceil(qt.height())));
    m_window->layout(frame, {m_geo.hasNotch ? m_geo.notchWidth : 0, m_geo.notchHeight, m_island.open()});
    return true;
}
