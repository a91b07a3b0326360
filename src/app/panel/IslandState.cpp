#include "panel/IslandState.h"

#include "sessions/SessionStore.h"

IslandState::IslandState(SessionStore& store, QObject* parent) : QObject(parent), m_store(store) {
    m_lapEnd.setSingleShot(true);
    m_lapEnd.setInterval(lapMs);
    connect(&m_lapEnd, &QTimer::timeout, this, [this] {
        m_lap.reset();
        emit changed();
    });
    connect(&m_store, &SessionStore::sessionDone, this, &IslandState::startLap);
    connect(&m_store, &SessionStore::gatesChanged, this, &IslandState::changed);
}

IslandState::Mode IslandState::modeFor(bool activeGate, bool hovering, bool lapping) {
    if (activeGate || hovering)
        return Mode::expanded;
    return lapping ? Mode::lap : Mode::collapsed;
}

IslandState::Mode IslandState::mode() const {
    return modeFor(m_store.activeGate().has_value(), m_hovering, m_lap.has_value());
}

void IslandState::setHovering(bool hovering) {
    if (m_hovering == hovering)
        return;
    m_hovering = hovering;
    emit changed();
}

void IslandState::startLap(Vorlix::Source agent) {
    m_lap = agent;
    m_lapEnd.start();
    emit changed();
}

void IslandState::setMeasuredHeight(double height) {
    if (height == m_measuredHeight)
        return;
    m_measuredHeight = height;
    emit measuredHeightChanged();
}
