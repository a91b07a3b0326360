#pragma once

#include "panel/GateCard.h"
#include "panel/NotchGeometry.h"
#include "panel/VictoryLap.h"
#include "sessions/SessionStore.h"
#include "support/Clock.h"

#include <QList>
#include <QPointer>
#include <QTimer>
#include <QVariantAnimation>
#include <QWidget>
#include <functional>
#include <optional>

class QLabel;
class QVBoxLayout;
class SessionRow;

/// Everything inside the island: sprites and activity when collapsed; header, collision banner and the approval
/// card or the session list when expanded; the victory lap in between. Reads the store, reports its height back.
class NotchView final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(NotchView)

public:
    struct Actions {
        std::function<void()> onSettings;
        std::function<void()> onQuit;
        std::function<void(const Gate&)> onTeachRule;
    };
    enum class Mode { collapsed, expanded, lap };

    NotchView(SessionStore& store, const NotchGeometry& geo, Actions actions, const Clock& clock = Clock::system(),
              QWidget* parent = nullptr);

    /// A gate or the pointer opens the card; a lap shows only while nothing else does.
    static Mode modeFor(bool activeGate, bool hovering, bool celebrating);
    Mode mode() const { return m_mode; }
    /// The card on show, if any.
    GateCard* card() const { return m_card; }
    VictoryLap* lap() const { return m_lap; }
    /// A spring of response 0.34 s and damping 0.82 over progress 0…1: eases in, overshoots about 1 %, settles.
    static double spring(double progress);
    /// Whether new content is still easing in.
    bool transitioning() const { return m_transition.state() == QAbstractAnimation::Running; }
    /// Runs a pending rebuild now (the view otherwise coalesces store changes into one per event-loop turn).
    void rebuildNow();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void watchSessions();
    void scheduleRebuild();
    void rebuild();
    void clearContent();
    void install(QWidget* content);
    QWidget* buildCollapsed();
    QWidget* buildExpanded();
    QWidget* buildLap(Vorlix::Source agent);
    void refreshExpanded();
    void reportHeight();
    void startTransition();

    SessionStore& m_store;
    const NotchGeometry m_geo;
    Actions m_actions;
    const Clock& m_clock;
    const QString m_home;

    Mode m_mode = Mode::collapsed;
    QWidget* m_content = nullptr;
    QVBoxLayout* m_contentLayout = nullptr;
    bool m_rebuildPending = false;
    QList<QPointer<Session>> m_watched;

    // Parts of the expanded content that change in place.
    QLabel* m_count = nullptr;
    QWidget* m_banner = nullptr;
    QLabel* m_bannerText = nullptr;
    QVBoxLayout* m_body = nullptr;
    QWidget* m_bodyWidget = nullptr;
    QPointer<GateCard> m_card;
    QList<SessionRow*> m_rows;
    QTimer m_elapsedTick;

    QVariantAnimation m_transition;
    qsizetype m_shownSessions = 0;
    QPointer<VictoryLap> m_lap;
    std::optional<Vorlix::Source> m_lapAgent;
};
