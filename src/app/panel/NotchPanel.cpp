#include "panel/NotchPanel.h"

#include "AppCore.h"
#include "panel/ScreenSpace.h"
#include "terminal/GoToTerminal.h"

#include <QCursor>
#include <QGuiApplication>
#include <QScreen>

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
}

NotchPanel::NotchPanel(AppCore& core, const NotchGeometry& geo, std::function<void()> onSettings,
                       std::function<void()> onQuit, QObject* parent)
    : NotchPanel(
          core.store(), geo,
          {std::move(onSettings), std::move(onQuit),
           [&core](const Gate& gate) { core.rules().add(gate.toolName(), gate.detail(), Vorlix::Behavior::allow); },
           [](const Session& session) { return GoToTerminal::go(session.terminal()); }},
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

QRectF NotchPanel::screenFrame() const {
    QScreen* primary = QGuiApplication::primaryScreen();
    QScreen* screen = m_geo.screen != nullptr ? m_geo.screen : primary;
    if (screen == nullptr || primary == nullptr)
        return {};
    return ScreenSpace(primary->geometry()).up(screen->geometry());
}

void NotchPanel::trackHover() {
    QScreen* primary = QGuiApplication::primaryScreen();
    if (primary == nullptr)
        return;
    const QRectF hot =
        PanelLayout::hotArea(m_island.hovering(), m_store.sessions().size(), firstActivity(), m_geo, screenFrame());
    m_island.setHovering(PanelLayout::contains(hot, ScreenSpace(primary->geometry()).pointer(pointer())));
}

bool NotchPanel::resize() {
    const PanelLayout::Target target = PanelLayout::target(m_island.open(), m_store.sessions().size(), firstActivity(),
                                                           m_geo, m_island.measuredHeight());
    if (target == m_last)
        return false;
    m_last = target;
    m_window->layout(target.size, m_geo, target.notchLeading);
    return true;
}
