#pragma once

#include "panel/ExpandedPane.h"
#include "panel/IslandState.h"
#include "panel/NotchGeometry.h"
#include "sessions/SessionStore.h"
#include "sessions/WatchedSessions.h"
#include "support/Clock.h"

#include <QList>
#include <QVariantAnimation>
#include <QWidget>
#include <climits>

class CollapsedRow;
class GateCard;
class QVBoxLayout;
class VictoryLap;

/// Everything inside the island, as the island's mode says: the collapsed row, the open pane, or the victory
/// lap. Each part is built once and follows the store in place; the view measures the open island's height.
class NotchView final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(NotchView)

public:
    using Actions = ExpandedPane::Actions;
    using Mode = IslandState::Mode;

    NotchView(SessionStore& store, IslandState& island, const NotchGeometry& geo, Actions actions,
              const Clock& clock = Clock::system(), QWidget* parent = nullptr);

    Mode mode() const { return m_mode; }
    /// The card on show, if any.
    GateCard* card() const;
    /// The lap, while it runs.
    VictoryLap* lap() const;
    ExpandedPane& pane() const { return *m_expanded; }
    /// A spring of response 0.34 s and damping 0.82 over progress 0…1: eases in, overshoots about 1 %, settles.
    static double spring(double progress);
    /// Whether new content is still easing in.
    bool transitioning() const { return m_transition.state() == QAbstractAnimation::Running; }
    /// Runs a pending refresh now (the view otherwise coalesces store changes into one per event-loop turn).
    void refreshNow();
    /// The most height the open island may take: a long detail on a risky card grows up to it, then scrolls.
    void setRoom(int height);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void watchSessions();
    void scheduleRefresh();
    void refresh();
    QWidget* paneFor(Mode mode) const;
    void reportHeight();
    void startTransition();

    SessionStore& m_store;
    IslandState& m_island;
    const NotchGeometry m_geo;

    Mode m_mode = Mode::collapsed;
    bool m_refreshPending = false;
    bool m_shown = false;
    WatchedSessions m_watched;
    qsizetype m_shownSessions = 0;
    int m_room = INT_MAX;

    CollapsedRow* m_collapsed = nullptr;
    ExpandedPane* m_expanded = nullptr;
    QWidget* m_lapPane = nullptr;
    VictoryLap* m_lap = nullptr;
    QVBoxLayout* m_layout = nullptr;
    QVariantAnimation m_transition;
};
