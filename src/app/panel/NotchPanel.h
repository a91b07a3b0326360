#pragma once

#include "panel/IslandState.h"
#include "panel/NotchGeometry.h"
#include "panel/NotchView.h"
#include "panel/NotchWindow.h"
#include "panel/PanelLayout.h"

#include <QObject>
#include <QPoint>
#include <QTimer>
#include <functional>
#include <memory>

class AppCore;

/// The shell's panel step: the view inside the window, shown at the top of the screen, and the 60 ms loop that
/// follows the pointer and sizes the island. The island is resized as soon as it opens, closes or its content
/// changes height, not only on the next tick; it follows screens as they come and go.
class NotchPanel final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(NotchPanel)

public:
    static constexpr int tickMs = 60;

    NotchPanel(SessionStore& store, const NotchGeometry& geo, NotchView::Actions actions,
               const Clock& clock = Clock::system(), QObject* parent = nullptr);
    /// What the application uses: "always allow" teaches the core's rules.
    NotchPanel(AppCore& core, const NotchGeometry& geo, std::function<void()> onSettings, std::function<void()> onQuit,
               QObject* parent = nullptr);
    ~NotchPanel() override;

    /// Shows the panel, lays it out once and starts the loop.
    void show();
    /// Opens the island when the pointer touches it, closes it when the pointer leaves the larger open area.
    void trackHover();
    /// Hands the window a new frame when the wanted size, notch offset or screen changed; true when it did.
    bool resize();

    IslandState& island() { return m_island; }
    NotchWindow& window() { return *m_window; }
    NotchView& view() { return *m_view; }
    const NotchGeometry& geometry() const { return m_geo; }
    /// The pointer in Qt's global coordinates; tests put it where they want.
    std::function<QPoint()> pointer;

signals:
    /// The panel is up: from now on a person can answer gates on it.
    void shown();

private:
    QString firstActivity() const;
    void scheduleResize();
    void followScreens();

    SessionStore& m_store;
    NotchGeometry m_geo;
    IslandState m_island;
    NotchView* m_view;
    std::unique_ptr<NotchWindow> m_window;
    PanelLayout::Target m_last{{0, 0}, std::nullopt};
    QRect m_lastScreen;
    bool m_resizePending = false;
    QTimer m_tick;
};
