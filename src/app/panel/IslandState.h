#pragma once

#include "Source.h"

#include <QObject>
#include <QTimer>
#include <optional>

class SessionStore;

/// What the island is doing: the one place that decides whether it is open, and how. It follows the pointer
/// (told by the panel's loop), the store's active gate and finished sessions (each runs a victory lap).
class IslandState final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(IslandState)

public:
    enum class Mode { collapsed, expanded, lap };
    static constexpr int lapMs = 1600;

    explicit IslandState(SessionStore& store, QObject* parent = nullptr);

    /// A gate or the pointer opens the card; a lap shows only while nothing else does.
    static Mode modeFor(bool activeGate, bool hovering, bool lapping);
    Mode mode() const;
    bool open() const { return mode() != Mode::collapsed; }

    bool hovering() const { return m_hovering; }
    void setHovering(bool hovering);
    /// The agent whose lap is running, if one is.
    std::optional<Vorlix::Source> lap() const { return m_lap; }
    /// Starts a lap for the agent, replacing any running one.
    void startLap(Vorlix::Source agent);
    /// The open island's content height, as the view last laid it out.
    double measuredHeight() const { return m_measuredHeight; }
    void setMeasuredHeight(double height);

signals:
    /// The mode, the pointer or the lap's agent may have changed.
    void changed();
    void measuredHeightChanged();

private:
    SessionStore& m_store;
    bool m_hovering = false;
    double m_measuredHeight = 0;
    std::optional<Vorlix::Source> m_lap;
    QTimer m_lapEnd;
};
