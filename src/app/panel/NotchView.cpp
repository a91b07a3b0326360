#include "panel/NotchView.h"

#include "kit/Metrics.h"
#include "panel/CollapsedRow.h"
#include "panel/DetailBox.h"
#include "panel/GateCard.h"
#include "panel/IslandShape.h"
#include "panel/PanelLayout.h"
#include "panel/VictoryLap.h"

#include <QGraphicsOpacityEffect>
#include <QPainter>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

constexpr double springResponse = 0.34;
constexpr double springDamping = 0.82;
constexpr int slideDistance = 6;
// How many responses the transition runs: long enough for the ringing to die out.
constexpr double springSpan = 1.5;

// A part shown or hidden in place resizes its parents through posted layout requests; to measure now, lay out
// children first, so each parent sees its children's new sizes.
void settleLayouts(QWidget* widget) {
    for (QWidget* child : widget->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (!child->isHidden())
            settleLayouts(child);
    }
    if (widget->layout() != nullptr)
        widget->layout()->activate();
}

} // namespace

NotchView::NotchView(SessionStore& store, IslandState& island, const NotchGeometry& geo, Actions actions,
                     const Clock& clock, QWidget* parent)
    : QWidget(parent), m_store(store), m_island(island), m_geo(geo) {
    setAttribute(Qt::WA_TranslucentBackground);
    m_layout = new QVBoxLayout(this);
    m_layout->setContentsMargins(0, 0, 0, 0);
    m_layout->setSpacing(0);

    m_collapsed = new CollapsedRow(geo, clock, this);
    m_expanded = new ExpandedPane(store, geo, std::move(actions), clock, this);
    m_lapPane = new QWidget(this);
    m_lapPane->setFixedWidth(static_cast<int>(PanelLayout::contentWidth));
    auto* lapColumn = new QVBoxLayout(m_lapPane);
    lapColumn->setContentsMargins(Metrics::islandPadding, 0, Metrics::islandPadding, Metrics::gap);
    lapColumn->setSpacing(0);
    lapColumn->addSpacing(static_cast<int>(geo.hasNotch ? geo.notchHeight : Metrics::gap));
    m_lap = new VictoryLap(Vorlix::Source::claude, clock, {}, m_lapPane);
    lapColumn->addWidget(m_lap);
    for (QWidget* pane : {static_cast<QWidget*>(m_collapsed), static_cast<QWidget*>(m_expanded), m_lapPane}) {
        pane->hide();
        m_layout->addWidget(pane, 0, Qt::AlignTop | Qt::AlignHCenter);
    }

    m_transition.setDuration(static_cast<int>(springSpan * springResponse * 1000));
    m_transition.setStartValue(0.0);
    m_transition.setEndValue(1.0);
    QEasingCurve curve;
    curve.setCustomType([](qreal progress) { return static_cast<qreal>(NotchView::spring(progress)); });
    m_transition.setEasingCurve(curve);
    connect(&m_transition, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) {
        const double v = value.toDouble();
        if (auto* effect = qobject_cast<QGraphicsOpacityEffect*>(paneFor(m_mode)->graphicsEffect()))
            effect->setOpacity(std::clamp(v, 0.0, 1.0));
        m_layout->setContentsMargins(0, std::max(0, static_cast<int>(std::lround((1 - v) * slideDistance))), 0, 0);
    });
    // The effect renders the content off screen: only while it moves.
    connect(&m_transition, &QVariantAnimation::finished, this, [this] {
        paneFor(m_mode)->setGraphicsEffect(nullptr);
        m_layout->setContentsMargins(0, 0, 0, 0);
    });

    connect(&m_store, &SessionStore::sessionsChanged, this, [this] {
        watchSessions();
        scheduleRefresh();
    });
    connect(&m_store, &SessionStore::gatesChanged, this, &NotchView::scheduleRefresh);
    connect(&m_island, &IslandState::changed, this, &NotchView::scheduleRefresh);
    watchSessions();
    refresh();
}

double NotchView::spring(double progress) {
    // Damped oscillator x(t) = 1 − e^(−ζωt)(cos ω_d t + ζω/ω_d sin ω_d t).
    const double omega = 2 * std::numbers::pi / springResponse;
    const double damped = omega * std::sqrt(1 - springDamping * springDamping);
    const double t = progress * springSpan * springResponse;
    const double decay = std::exp(-springDamping * omega * t);
    const double x = 1 - decay * (std::cos(damped * t) + springDamping * omega / damped * std::sin(damped * t));
    // Land exactly on 1 at the end, whatever is left of the ringing.
    return progress >= 1 ? 1.0 : x;
}

GateCard* NotchView::card() const {
    return m_mode == Mode::expanded ? m_expanded->card() : nullptr;
}

VictoryLap* NotchView::lap() const {
    return m_mode == Mode::lap ? m_lap : nullptr;
}

QWidget* NotchView::paneFor(Mode mode) const {
    switch (mode) {
    case Mode::expanded:
        return m_expanded;
    case Mode::lap:
        return m_lapPane;
    case Mode::collapsed:
        break;
    }
    return m_collapsed;
}

void NotchView::startTransition() {
    m_transition.stop();
    QWidget* pane = paneFor(m_mode);
    auto* effect = new QGraphicsOpacityEffect(pane);
    effect->setOpacity(0);
    pane->setGraphicsEffect(effect);
    m_transition.start();
}

void NotchView::watchSessions() {
    m_watched.release(this);
    for (Session* session : m_store.sessions()) {
        m_watched.add(session);
        for (auto signal : {&Session::stateChanged, &Session::activityChanged, &Session::toolCountChanged,
                            &Session::contextChanged, &Session::cwdChanged, &Session::attentionChanged})
            connect(session, signal, this, &NotchView::scheduleRefresh);
    }
}

void NotchView::scheduleRefresh() {
    if (m_refreshPending)
        return;
    m_refreshPending = true;
    QMetaObject::invokeMethod(this, &NotchView::refresh, Qt::QueuedConnection);
}

void NotchView::refreshNow() {
    if (m_refreshPending)
        refresh();
}

void NotchView::refresh() {
    m_refreshPending = false;
    const Mode next = m_island.mode();
    const bool modeChanged = next != m_mode || !m_shown;
    const std::optional<Vorlix::Source> lapAgent = m_island.lap();
    const bool newLap = next == Mode::lap && lapAgent && (modeChanged || lapAgent != m_lap->agent());
    if (modeChanged) {
        m_transition.stop();
        paneFor(m_mode)->setGraphicsEffect(nullptr);
        paneFor(m_mode)->hide();
    }
    m_mode = next;
    m_shown = true;
    switch (next) {
    case Mode::collapsed:
        m_collapsed->setSessions(m_store.sessions());
        break;
    case Mode::expanded:
        m_expanded->refresh();
        break;
    case Mode::lap:
        if (newLap)
            m_lap->restart(*lapAgent);
        break;
    }
    paneFor(next)->show();
    if (modeChanged || m_store.sessions().size() != m_shownSessions)
        startTransition();
    m_shownSessions = m_store.sessions().size();
    update();
    reportHeight();
}

void NotchView::setRoom(int height) {
    if (height == m_room)
        return;
    m_room = height;
    scheduleRefresh();
}

// The window sizes the open island from this. The panel resizes on a posted call, so nothing changes mid-layout.
void NotchView::reportHeight() {
    if (m_mode == Mode::collapsed)
        return;
    QWidget* pane = paneFor(m_mode);
    settleLayouts(pane);
    // Everything but the detail box has its one height: the box gets the rest of the screen.
    if (GateCard* shown = card()) {
        DetailBox* box = shown->detailBox();
        box->setRoom(std::max(0, m_room - (pane->sizeHint().height() - box->maximumHeight())));
        settleLayouts(pane);
    }
    pane->adjustSize();
    m_island.setMeasuredHeight(pane->sizeHint().height());
}

void NotchView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const IslandShape shape{m_geo.hasNotch ? m_geo.notchWidth : 0, m_geo.notchHeight, m_mode != Mode::collapsed};
    painter.fillPath(shape.path(QRectF(rect())), Qt::black);
}
