#include "panel/NotchView.h"

#include "kit/IconButton.h"
#include "kit/Palette.h"
#include "kit/PlainLabel.h"
#include "kit/RoundedPanel.h"
#include "kit/Type.h"
#include "panel/ElidedLine.h"
#include "panel/GateCard.h"
#include "panel/IslandShape.h"
#include "panel/PanelLayout.h"
#include "panel/SessionRow.h"
#include "panel/VictoryLap.h"
#include "sprites/PixelSprite.h"
#include "sprites/SpriteView.h"
#include "support/AppPaths.h"

#include <QGraphicsOpacityEffect>
#include <QHBoxLayout>
#include <QLabel>
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
constexpr double sidePadding = 18;

} // namespace

NotchView::NotchView(SessionStore& store, const NotchGeometry& geo, Actions actions, const Clock& clock,
                     QWidget* parent)
    : QWidget(parent), m_store(store), m_geo(geo), m_actions(std::move(actions)), m_clock(clock),
      m_home(AppPaths::home()) {
    setAttribute(Qt::WA_TranslucentBackground);
    m_contentLayout = new QVBoxLayout(this);
    m_contentLayout->setContentsMargins(0, 0, 0, 0);
    m_contentLayout->setSpacing(0);

    m_transition.setDuration(static_cast<int>(springSpan * springResponse * 1000));
    m_transition.setStartValue(0.0);
    m_transition.setEndValue(1.0);
    QEasingCurve curve;
    curve.setCustomType([](qreal progress) { return static_cast<qreal>(NotchView::spring(progress)); });
    m_transition.setEasingCurve(curve);
    connect(&m_transition, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) {
        const double v = value.toDouble();
        if (m_content == nullptr)
            return;
        if (auto* effect = qobject_cast<QGraphicsOpacityEffect*>(m_content->graphicsEffect()))
            effect->setOpacity(std::clamp(v, 0.0, 1.0));
        m_contentLayout->setContentsMargins(0, std::max(0, static_cast<int>(std::lround((1 - v) * slideDistance))), 0,
                                            0);
    });
    // The effect renders the content off screen: only while it moves.
    connect(&m_transition, &QVariantAnimation::finished, this, [this] {
        if (m_content != nullptr)
            m_content->setGraphicsEffect(nullptr);
        m_contentLayout->setContentsMargins(0, 0, 0, 0);
    });

    m_elapsedTick.setInterval(1000);
    connect(&m_elapsedTick, &QTimer::timeout, this, [this] {
        for (SessionRow* row : std::as_const(m_rows))
            row->refreshElapsed();
    });

    connect(&m_store, &SessionStore::sessionsChanged, this, [this] {
        watchSessions();
        scheduleRebuild();
    });
    for (auto signal : {&SessionStore::gatesChanged, &SessionStore::hoveringChanged, &SessionStore::celebrationChanged})
        connect(&m_store, signal, this, &NotchView::scheduleRebuild);
    watchSessions();
    rebuild();
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

void NotchView::startTransition() {
    if (m_content == nullptr)
        return;
    m_transition.stop();
    auto* effect = new QGraphicsOpacityEffect(m_content);
    effect->setOpacity(0);
    m_content->setGraphicsEffect(effect);
    m_transition.start();
}

NotchView::Mode NotchView::modeFor(bool activeGate, bool hovering, bool celebrating) {
    if (activeGate || hovering)
        return Mode::expanded;
    return celebrating ? Mode::lap : Mode::collapsed;
}

void NotchView::watchSessions() {
    for (const QPointer<Session>& session : std::as_const(m_watched)) {
        if (session)
            disconnect(session, nullptr, this, nullptr);
    }
    m_watched.clear();
    for (Session* session : m_store.sessions()) {
        m_watched.append(session);
        for (auto signal : {&Session::stateChanged, &Session::activityChanged, &Session::toolCountChanged,
                            &Session::contextChanged, &Session::cwdChanged})
            connect(session, signal, this, &NotchView::scheduleRebuild);
    }
}

void NotchView::scheduleRebuild() {
    if (m_rebuildPending)
        return;
    m_rebuildPending = true;
    QMetaObject::invokeMethod(this, &NotchView::rebuild, Qt::QueuedConnection);
}

void NotchView::rebuildNow() {
    if (m_rebuildPending)
        rebuild();
}

void NotchView::rebuild() {
    m_rebuildPending = false;
    const Mode next = modeFor(m_store.activeGate().has_value(), m_store.hovering(), m_store.celebration().has_value());
    const bool modeChanged = next != m_mode || m_content == nullptr;
    m_mode = next;
    switch (next) {
    case Mode::collapsed:
        clearContent();
        install(buildCollapsed());
        break;
    case Mode::lap:
        if (modeChanged || m_lapAgent != m_store.celebration()) {
            clearContent();
            install(buildLap(*m_store.celebration()));
        }
        break;
    case Mode::expanded:
        if (modeChanged) {
            clearContent();
            install(buildExpanded());
        }
        refreshExpanded();
        break;
    }
    if (modeChanged || m_store.sessions().size() != m_shownSessions)
        startTransition();
    m_shownSessions = m_store.sessions().size();
    update();
    reportHeight();
}

void NotchView::clearContent() {
    if (m_content != nullptr) {
        m_content->hide();
        m_content->deleteLater();
        m_content = nullptr;
    }
    m_count = nullptr;
    m_banner = nullptr;
    m_bannerText = nullptr;
    m_body = nullptr;
    m_bodyWidget = nullptr;
    m_card = nullptr;
    m_rows.clear();
    m_elapsedTick.stop();
    m_lapAgent.reset();
}

void NotchView::install(QWidget* content) {
    m_content = content;
    m_contentLayout->addWidget(content, 0, Qt::AlignTop | Qt::AlignHCenter);
    content->show();
}

// Sprites end just left of the notch and the activity starts just right of it, both inside the ears the panel was
// sized for, so the row fits the island on screens with and without a notch.
QWidget* NotchView::buildCollapsed() {
    const QList<Session*>& sessions = m_store.sessions();
    const double left = PanelLayout::leftEar(sessions.size());
    const QString activity = sessions.isEmpty() ? QString() : sessions.constFirst()->activity();
    const double right = PanelLayout::rightEar(activity);

    auto* row = new QWidget(this);
    row->setFixedSize(static_cast<int>(std::ceil(left + m_geo.notchWidth + right + 16)),
                      static_cast<int>(m_geo.notchHeight));
    auto* line = new QHBoxLayout(row);
    line->setContentsMargins(8, 0, 8, 0);
    line->setSpacing(0);

    auto* ear = new QWidget(row);
    ear->setFixedWidth(static_cast<int>(left));
    auto* sprites = new QHBoxLayout(ear);
    sprites->setContentsMargins(0, 0, 6, 0);
    sprites->setSpacing(static_cast<int>(PanelLayout::spriteGap));
    sprites->addStretch();
    for (qsizetype i = 0; i < std::min<qsizetype>(4, sessions.size()); ++i)
        sprites->addWidget(new SpriteView(sessions[i]->state(), sessions[i]->source(), PanelLayout::spriteSize,
                                          std::nullopt, m_clock, ear),
                           0, Qt::AlignVCenter);
    line->addWidget(ear);
    line->addSpacing(static_cast<int>(m_geo.notchWidth));

    auto* text = new ElidedLine(activity, Type::mono(11, QFont::Medium), Palette::text2(), Qt::ElideRight, row);
    text->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    auto* rightEar = new QWidget(row);
    auto* rightLine = new QHBoxLayout(rightEar);
    rightLine->setContentsMargins(12, 0, 0, 0);
    rightLine->addWidget(text);
    line->addWidget(rightEar, 1);
    return row;
}

QWidget* NotchView::buildExpanded() {
    auto* column = new QWidget(this);
    column->setFixedWidth(static_cast<int>(PanelLayout::contentWidth));
    auto* layout = new QVBoxLayout(column);
    layout->setContentsMargins(static_cast<int>(sidePadding), 0, static_cast<int>(sidePadding),
                               static_cast<int>(sidePadding));
    layout->setSpacing(0);
    layout->addSpacing(static_cast<int>(m_geo.hasNotch ? m_geo.notchHeight : 8));

    auto* header = new QHBoxLayout;
    header->setSpacing(8);
    QFont section = Type::section();
    section.setLetterSpacing(QFont::AbsoluteSpacing, 1.6);
    header->addWidget(PlainLabel::make(QStringLiteral("VORLIX AGENTS"), section, Palette::text3(), column));
    m_count = PlainLabel::make(QString(), Type::mono(11, QFont::Normal), Palette::text3(), column);
    header->addWidget(m_count);
    header->addStretch();
    auto* settings = new IconButton(QStringLiteral("gearshape.fill"), Palette::text2(), column);
    auto* quit = new IconButton(QStringLiteral("power"), PixelSprite::pink(), column);
    settings->setToolTip(QStringLiteral("Settings"));
    quit->setToolTip(QStringLiteral("Quit Vorlix Agents"));
    connect(settings, &QAbstractButton::clicked, this, [this] {
        if (m_actions.onSettings)
            m_actions.onSettings();
    });
    connect(quit, &QAbstractButton::clicked, this, [this] {
        if (m_actions.onQuit)
            m_actions.onQuit();
    });
    header->addWidget(settings);
    header->addWidget(quit);
    layout->addSpacing(10);
    layout->addLayout(header);

    m_banner = new QWidget(column);
    auto* bannerOuter = new QVBoxLayout(m_banner);
    bannerOuter->setContentsMargins(0, 10, 0, 0);
    auto* bannerFill = new RoundedPanel(Palette::withOpacity(PixelSprite::pink(), 0.12), 8, m_banner);
    auto* bannerRow = new QHBoxLayout(bannerFill);
    bannerRow->setContentsMargins(11, 7, 11, 7);
    bannerRow->setSpacing(8);
    bannerRow->addWidget(PlainLabel::make(QStringLiteral("\u26a0 COLLISION"), Type::mono(10, QFont::Bold),
                                          PixelSprite::pink(), bannerFill));
    m_bannerText = PlainLabel::make(QString(), Type::caption(), Palette::text2(), bannerFill);
    m_bannerText->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    bannerRow->addWidget(m_bannerText, 1);
    bannerOuter->addWidget(bannerFill);
    layout->addWidget(m_banner);

    m_body = new QVBoxLayout;
    m_body->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(m_body);
    return column;
}

void NotchView::refreshExpanded() {
    m_count->setText(QStringLiteral("%1 active").arg(m_store.sessions().size()));
    const QStringList conflicts = m_store.conflicts();
    m_banner->setVisible(!conflicts.isEmpty());
    if (!conflicts.isEmpty())
        m_bannerText->setText(QStringLiteral("two agents editing ") + conflicts.constFirst());

    const auto active = m_store.activeGate();
    // The card keeps its state (the tick) while its gate stays the active one.
    if (active && m_card && m_card->gateId() == active->gate->id())
        return;
    if (m_bodyWidget != nullptr) {
        m_bodyWidget->hide();
        m_bodyWidget->deleteLater();
    }
    m_card = nullptr;
    m_rows.clear();
    m_elapsedTick.stop();

    auto* holder = new QWidget(m_content);
    auto* column = new QVBoxLayout(holder);
    column->setContentsMargins(0, active ? 12 : 10, 0, 0);
    column->setSpacing(8);
    if (active) {
        const QPointer<Gate> gate = active->gate;
        auto decide = [this, gate](Vorlix::Behavior behavior) {
            if (gate)
                m_store.decide(gate->id(), behavior, SessionStore::Surface::card);
        };
        auto teach = [this, gate] {
            if (gate && m_actions.onTeachRule)
                m_actions.onTeachRule(*gate);
        };
        m_card = new GateCard(*active->session, *active->gate, decide, teach, m_clock, holder);
        column->addWidget(m_card);
    } else if (m_store.sessions().isEmpty()) {
        auto* none = PlainLabel::make(QStringLiteral("No agents running"), Type::caption(), Palette::text3(), holder);
        none->setAlignment(Qt::AlignCenter);
        column->addSpacing(18);
        column->addWidget(none);
        column->addSpacing(18);
    } else {
        for (Session* session : m_store.sessions()) {
            auto* row = new SessionRow(*session, m_home, m_clock, holder);
            m_rows.append(row);
            column->addWidget(row);
        }
        m_elapsedTick.start();
    }
    m_bodyWidget = holder;
    m_body->addWidget(holder);
    holder->show();
}

QWidget* NotchView::buildLap(Vorlix::Source agent) {
    m_lapAgent = agent;
    auto* column = new QWidget(this);
    column->setFixedWidth(static_cast<int>(PanelLayout::contentWidth));
    auto* layout = new QVBoxLayout(column);
    layout->setContentsMargins(static_cast<int>(sidePadding), 0, static_cast<int>(sidePadding), 8);
    layout->setSpacing(0);
    layout->addSpacing(static_cast<int>(m_geo.hasNotch ? m_geo.notchHeight : 8));
    m_lap = new VictoryLap(agent, m_clock, {}, column);
    layout->addWidget(m_lap);
    return column;
}

// The window sizes the expanded island from this; one hop later, so the store never changes mid-layout.
void NotchView::reportHeight() {
    if (m_mode == Mode::collapsed || m_content == nullptr)
        return;
    m_content->adjustSize();
    const double height = m_content->sizeHint().height();
    QMetaObject::invokeMethod(
        this,
        [this, height] {
            if (m_store.measuredHeight() != height)
                m_store.setMeasuredHeight(height);
        },
        Qt::QueuedConnection);
}

void NotchView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const IslandShape shape{m_geo.hasNotch ? m_geo.notchWidth : 0, m_geo.notchHeight, m_mode != Mode::collapsed};
    painter.fillPath(shape.path(QRectF(rect())), Qt::black);
}
