#include "panel/ExpandedPane.h"

#include "kit/IconButton.h"
#include "kit/Metrics.h"
#include "kit/Palette.h"
#include "kit/PlainLabel.h"
#include "kit/RoundedPanel.h"
#include "kit/Type.h"
#include "panel/GateCard.h"
#include "panel/PanelLayout.h"
#include "panel/SessionList.h"
#include "support/AppPaths.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

ExpandedPane::ExpandedPane(SessionStore& store, const NotchGeometry& geo, Actions actions, const Clock& clock,
                           QWidget* parent)
    : QWidget(parent), m_store(store), m_actions(std::move(actions)) {
    setFixedWidth(static_cast<int>(PanelLayout::contentWidth));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(Metrics::islandPadding, 0, Metrics::islandPadding, Metrics::islandPadding);
    layout->setSpacing(0);
    layout->addSpacing(static_cast<int>(geo.hasNotch ? geo.notchHeight : Metrics::gap));

    auto* header = new QHBoxLayout;
    header->setSpacing(Metrics::gap);
    QFont section = Type::section();
    section.setLetterSpacing(QFont::AbsoluteSpacing, 1.6);
    m_title = PlainLabel::make(QStringLiteral("VORLIX AGENTS"), section, Palette::text3(), this);
    header->addWidget(m_title);
    m_count = PlainLabel::make(QString(), Type::mono(11, QFont::Normal), Palette::text3(), this);
    header->addWidget(m_count);
    // In the header, so the island keeps its height while the line shows.
    m_notice = PlainLabel::make(QString(), Type::caption(), Palette::caution(), this);
    m_notice->setObjectName(QStringLiteral("notice"));
    m_notice->hide();
    header->addWidget(m_notice);
    m_noticeTimer.setSingleShot(true);
    m_noticeTimer.setInterval(4000);
    // The line takes the title's place for a while: the header has room for one of them.
    connect(&m_noticeTimer, &QTimer::timeout, this, [this] { showNotice(false); });
    header->addStretch();
    auto* settings = new IconButton(QStringLiteral("preferences-system"), Palette::text2(), this);
    auto* quit = new IconButton(QStringLiteral("system-shutdown"), Palette::accent(), this);
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
    layout->addSpacing(Metrics::sectionGap);
    layout->addLayout(header);

    m_banner = new QWidget(this);
    auto* bannerOuter = new QVBoxLayout(m_banner);
    bannerOuter->setContentsMargins(0, Metrics::sectionGap, 0, 0);
    auto* bannerFill = new RoundedPanel(Palette::withOpacity(Palette::danger(), 0.12), Metrics::gap, m_banner);
    auto* bannerRow = new QHBoxLayout(bannerFill);
    bannerRow->setContentsMargins(Metrics::cardPadding, Metrics::tightGap, Metrics::cardPadding, Metrics::tightGap);
    bannerRow->setSpacing(Metrics::gap);
    bannerRow->addWidget(PlainLabel::make(QStringLiteral("\u26a0 COLLISION"), Type::mono(10, QFont::Bold),
                                          Palette::danger(), bannerFill));
    m_bannerText = PlainLabel::make(QString(), Type::caption(), Palette::text2(), bannerFill);
    m_bannerText->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    bannerRow->addWidget(m_bannerText, 1);
    bannerOuter->addWidget(bannerFill);
    layout->addWidget(m_banner);

    m_cardHolder = new QWidget(this);
    auto* cardColumn = new QVBoxLayout(m_cardHolder);
    cardColumn->setContentsMargins(0, Metrics::wideGap, 0, 0);
    m_card = new GateCard(
        [this](Gate& gate, Vorlix::Behavior behavior) {
            m_store.decide(gate.id(), behavior, SessionStore::Surface::card);
        },
        [this](const Gate& gate) {
            if (m_actions.onTeachRule)
                m_actions.onTeachRule(gate);
        },
        clock, m_cardHolder);
    cardColumn->addWidget(m_card);
    connect(m_card, &GateCard::answerPicked, this,
            [this](const QString& id, const QList<QuestionAnswer::Pick>& picks) { m_store.answer(id, picks); });
    connect(m_card, &GateCard::answerInTerminal, this, [this](const QString& id) { m_store.leaveToTerminal(id); });
    layout->addWidget(m_cardHolder);
    connect(m_card, &GateCard::allowForSession, this,
            [this](const QString& gateId) { m_store.allowForSession(gateId, SessionStore::Surface::card); });
    connect(m_card, &GateCard::goToTerminal, this, [this] {
        if (const Gate* gate = m_store.gateWithId(m_card->gateId()))
            if (const Session* session = m_store.sessionWithId(gate->sessionID()))
                goToTerminal(*session);
    });

    m_list = new SessionList(AppPaths::home(), clock, this);
    layout->addWidget(m_list);
    connect(m_list, &SessionList::goToTerminal, this, &ExpandedPane::goToTerminal);
}

void ExpandedPane::goToTerminal(const Session& session) {
    if (!m_actions.onGoToTerminal)
        return;
    const TerminalJump::Result result = m_actions.onGoToTerminal(session);
    m_notice->setText(result.message);
    showNotice(!result.ok);
}

void ExpandedPane::showNotice(bool on) {
    m_notice->setVisible(on);
    m_title->setVisible(!on);
    m_count->setVisible(!on);
    if (on)
        m_noticeTimer.start();
    else
        m_noticeTimer.stop();
}

GateCard* ExpandedPane::card() const {
    return m_cardHolder->isHidden() ? nullptr : m_card;
}

void ExpandedPane::refresh() {
    m_count->setText(QStringLiteral("%1 active").arg(m_store.sessions().size()));
    const QStringList conflicts = m_store.conflicts();
    m_banner->setVisible(!conflicts.isEmpty());
    if (!conflicts.isEmpty())
        m_bannerText->setText(QStringLiteral("two agents editing ") + conflicts.constFirst());

    const auto active = m_store.activeGate();
    if (active) {
        m_card->setGate(*active->session, *active->gate);
        m_card->setMoreWaiting(m_store.gates().size() - 1);
    }
    m_cardHolder->setVisible(active.has_value());
    m_list->setVisible(!active.has_value());
    m_list->setSessions(m_store.sessions());
}
