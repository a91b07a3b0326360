#include "panel/GateCard.h"

#include "kit/Dot.h"
#include "kit/ElidedLabel.h"
#include "kit/FlatButton.h"
#include "kit/IconButton.h"
#include "kit/Metrics.h"
#include "kit/Palette.h"
#include "kit/PlainLabel.h"
#include "kit/TickBox.h"
#include "kit/ToolCapsule.h"
#include "kit/Type.h"
#include "panel/BossBanner.h"
#include "panel/DetailBox.h"
#include "panel/QuestionPanel.h"
#include "risk/RuleStore.h"
#include "sessions/GateDetail.h"
#include "sessions/SessionRules.h"
#include "sprites/SpriteView.h"
#include "support/VisibleText.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace {

constexpr int sectionGap = 13;
constexpr int spriteSize = 28;
constexpr int bossSpriteSize = 34;
constexpr int riskDot = 7;

QFont riskFont() {
    QFont font = Type::mono(11, QFont::Bold);
    font.setLetterSpacing(QFont::AbsoluteSpacing, 0.6);
    return font;
}

} // namespace

GateCard::GateCard(Decide decide, TeachRule teachRule, const Clock& clock, QWidget* parent)
    : QWidget(parent), m_decide(std::move(decide)), m_teachRule(std::move(teachRule)) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(sectionGap);

    m_banner = new BossBanner(clock, this);
    column->addWidget(m_banner);

    auto* title = new QHBoxLayout;
    title->setSpacing(Metrics::wideGap);
    m_sprite = new SpriteView(SpriteKind::needsApproval, Vorlix::Source::claude, spriteSize, std::nullopt, clock, this);
    title->addWidget(m_sprite);
    auto* who = new QVBoxLayout;
    who->setSpacing(Metrics::lineGap);
    m_agent = PlainLabel::make(QString(), Type::label(), Palette::text(), this);
    m_project = PlainLabel::make(QString(), Type::caption(), Palette::caution(), this);
    who->addWidget(m_agent);
    who->addWidget(m_project);
    title->addLayout(who);
    title->addStretch();
    m_tool = new ToolCapsule(QString(), this);
    title->addWidget(m_tool, 0, Qt::AlignVCenter);
    auto* terminal = new IconButton(QStringLiteral("utilities-terminal"), Palette::text2(), this);
    terminal->setObjectName(QStringLiteral("goToTerminal"));
    terminal->setToolTip(QStringLiteral("Go to terminal"));
    terminal->setAccessibleName(QStringLiteral("Go to terminal"));
    connect(terminal, &QAbstractButton::clicked, this, &GateCard::goToTerminal);
    title->addWidget(terminal, 0, Qt::AlignVCenter);
    column->addLayout(title);

    auto* risk = new QHBoxLayout;
    risk->setSpacing(Metrics::tightGap);
    m_riskDot = new Dot(riskDot, Palette::positive(), this);
    risk->addWidget(m_riskDot, 0, Qt::AlignVCenter);
    m_riskLabel = PlainLabel::make(QString(), riskFont(), Palette::positive(), this);
    risk->addWidget(m_riskLabel);
    m_reasons = new ElidedLabel(QString(), Qt::ElideRight, this);
    PlainLabel::style(m_reasons, Type::caption(), Palette::text3());
    risk->addWidget(m_reasons, 1);
    // Without reasons the risk line keeps its words at the left, as a stretch would.
    m_noReasons = new QWidget(this);
    m_noReasons->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Minimum);
    risk->addWidget(m_noReasons, 1);
    m_moreWaiting = PlainLabel::make(QString(), Type::mono(11, QFont::Medium), Palette::caution(), this);
    m_moreWaiting->hide();
    risk->addWidget(m_moreWaiting);
    column->addLayout(risk);

    m_detail = new DetailBox(this);
    column->addWidget(m_detail);
    connect(m_detail, &DetailBox::readToEndChanged, this, &GateCard::updateAnswers);

    m_alwaysAllow = new TickBox(QString(), Palette::positive(), this);
    column->addWidget(m_alwaysAllow);

    m_questions = new QuestionPanel(this);
    m_questions->hide();
    column->addWidget(m_questions);
    connect(m_questions, &QuestionPanel::answered, this, [this](const QList<QuestionAnswer::Pick>& picks) {
        if (m_answered || !m_gate)
            return;
        m_answered = true;
        emit answerPicked(m_gateId, picks);
    });
    connect(m_questions, &QuestionPanel::leftToTerminal, this, [this] {
        if (m_answered || !m_gate)
            return;
        m_answered = true;
        emit answerInTerminal(m_gateId);
    });

    m_answers = new QWidget(this);
    auto* buttons = new QHBoxLayout(m_answers);
    buttons->setContentsMargins(0, 0, 0, 0);
    buttons->setSpacing(Metrics::wideGap);
    m_deny = new FlatButton(QStringLiteral("Deny"), Palette::danger(), false, true, this);
    m_allow = new FlatButton(QStringLiteral("Allow"), Palette::positive(), true, true, this);
    buttons->addWidget(m_deny, 1);
    buildSessionAllow(buttons);
    buttons->addWidget(m_allow, 1);
    column->addWidget(m_answers);

    connect(m_deny, &QAbstractButton::clicked, this, [this] { answer(Vorlix::Behavior::deny); });
    connect(m_allow, &QAbstractButton::clicked, this, [this] { answer(Vorlix::Behavior::allow); });
}

void GateCard::setGate(const Session& session, Gate& gate) {
    if (m_gate == &gate && m_gateId == gate.id())
        return;
    m_gate = &gate;
    m_gateId = gate.id();
    m_answered = false;

    const Risk level = gate.risk().level;
    const bool critical = level == Risk::critical;
    m_banner->setVisible(critical);
    m_sprite->setKind(critical ? SpriteKind::error : gate.kind());
    m_sprite->setAgent(session.source());
    m_sprite->setSize(critical ? bossSpriteSize : spriteSize);
    m_agent->setText(QString::fromUtf8(Vorlix::displayName(session.source())));
    m_project->setText(QStringLiteral("needs approval \u00b7 ") + session.project());
    m_tool->setText(gate.toolName());

    m_riskDot->setColor(Palette::risk(level));
    m_riskLabel->setText(riskLabel(level));
    PlainLabel::style(m_riskLabel, riskFont(), Palette::risk(level));
    m_reasons->setFullText(VisibleText::oneLine(gate.risk().reasons.join(QStringLiteral(" \u00b7 "))));
    m_reasons->setVisible(!gate.risk().reasons.isEmpty());
    m_noReasons->setVisible(gate.risk().reasons.isEmpty());

    // Elevated and critical calls show all they can and must be read to the end; the safe answer is the easy one.
    m_mustRead = !offersRule(level);
    m_detail->setContent(gate.detail(), gate.change(),
                         critical ? Palette::withOpacity(Palette::danger(), 0.10) : Palette::card(), m_mustRead);
    m_deny->setFilled(m_mustRead);
    m_allow->setFilled(!m_mustRead);

    m_alwaysAllow->setChecked(false);
    m_alwaysAllow->setVisible(offersRule(level));
    m_alwaysAllow->setText(RuleStore::offerLabel(gate.toolName(), gate.detail()));
    m_sessionAllow->setVisible(SessionRules::offered(gate.toolName(), gate.detail(), gate.risk()));
    if (showAsk(gate)) {
        m_alwaysAllow->setVisible(false);
        m_sessionAllow->setVisible(false);
    }
    updateAnswers();
}

bool GateCard::showAsk(const Gate& gate) {
    const QString label = GateDetail::askLabel(gate.toolName());
    QList<QuestionAnswer::Question> questions;
    if (QuestionAnswer::isQuestion(gate.toolName())) {
        if (const std::optional<JSONValue> input = JSONValue::parse(gate.input()))
            questions = QuestionAnswer::questions(*input);
    }
    m_questions->setVisible(!questions.isEmpty());
    m_detail->setVisible(questions.isEmpty());
    m_answers->setVisible(questions.isEmpty());
    if (!questions.isEmpty())
        m_questions->setQuestions(questions);
    if (label.isEmpty())
        return false;
    m_riskDot->setColor(Palette::state(gate.kind()));
    m_riskLabel->setText(label);
    PlainLabel::style(m_riskLabel, riskFont(), Palette::state(gate.kind()));
    m_reasons->setVisible(false);
    m_noReasons->setVisible(true);
    // A plan is read to its end before it is approved, whatever the words in it would rate.
    m_mustRead = true;
    m_detail->setContent(gate.detail(), gate.change(), Palette::card(), true);
    m_deny->setFilled(false);
    m_allow->setFilled(true);
    return true;
}

void GateCard::setMoreWaiting(qsizetype count) {
    m_moreWaiting->setVisible(count > 0);
    m_moreWaiting->setText(QStringLiteral("+%1 more waiting").arg(count));
}

void GateCard::updateAnswers() {
    const bool canAllow = !m_mustRead || m_detail->readToEnd();
    m_allow->setEnabled(canAllow);
    m_sessionAllow->setEnabled(canAllow);
    m_allow->setToolTip(canAllow ? QString() : QStringLiteral("Scroll to the end of the request to allow it"));
}

TickBox* GateCard::alwaysAllowBox() const {
    return m_alwaysAllow->isHidden() ? nullptr : m_alwaysAllow;
}

bool GateCard::offersRule(Risk level) {
    return level == Risk::trivial || level == Risk::normal;
}

// A second click while the store removes this gate must not answer again.
void GateCard::answer(Vorlix::Behavior behavior) {
    if (m_answered || !m_gate)
        return;
    if (behavior == Vorlix::Behavior::allow && !m_allow->isEnabled())
        return;
    m_answered = true;
    if (behavior == Vorlix::Behavior::allow && alwaysAllowBox() && m_alwaysAllow->isChecked() && m_teachRule)
        m_teachRule(*m_gate);
    if (m_decide && m_gate)
        m_decide(*m_gate, behavior);
}

void GateCard::buildSessionAllow(QBoxLayout* buttons) {
    m_sessionAllow = new FlatButton(QStringLiteral("Allow for this session"), Palette::positive(), false, true, this);
    m_sessionAllow->setObjectName(QStringLiteral("allowForSession"));
    buttons->addWidget(m_sessionAllow, 1);
    connect(m_sessionAllow, &QAbstractButton::clicked, this, &GateCard::answerForSession);
}

FlatButton* GateCard::sessionAllowButton() const {
    return m_sessionAllow->isHidden() ? nullptr : m_sessionAllow;
}

void GateCard::answerForSession() {
    if (m_answered || !m_gate || !m_sessionAllow->isEnabled())
        return;
    m_answered = true;
    emit allowForSession(m_gateId);
}
