#include "panel/GateCard.h"

#include "kit/FlatButton.h"
#include "kit/Palette.h"
#include "kit/PlainLabel.h"
#include "kit/Type.h"
#include "panel/BossBanner.h"
#include "panel/DetailBox.h"
#include "panel/TickBox.h"
#include "panel/ToolCapsule.h"
#include "risk/RiskEngine.h"
#include "sprites/PixelSprite.h"
#include "sprites/SpriteView.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>

namespace {

class RiskDot final : public QWidget {
public:
    RiskDot(QColor color, QWidget* parent) : QWidget(parent), m_color(color) { setFixedSize(7, 7); }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(m_color);
        painter.drawEllipse(QRectF(0, 0, 7, 7));
    }

private:
    QColor m_color;
};

} // namespace

GateCard::GateCard(const Session& session, Gate& gate, Decide decide, std::function<void()> teachRule,
                   const Clock& clock, QWidget* parent)
    : QWidget(parent), m_gateId(gate.id()), m_decide(std::move(decide)), m_teachRule(std::move(teachRule)) {
    const Risk level = gate.risk().level;
    const bool critical = level == Risk::critical;
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(13);

    if (critical)
        column->addWidget(new BossBanner(clock, this));

    auto* title = new QHBoxLayout;
    title->setSpacing(12);
    title->addWidget(new SpriteView(critical ? SpriteKind::error : gate.kind(), session.source(), critical ? 34 : 28,
                                    std::nullopt, clock, this));
    auto* who = new QVBoxLayout;
    who->setSpacing(3);
    who->addWidget(PlainLabel::make(QString::fromUtf8(Vorlix::displayName(session.source())), Type::label(),
                                    Palette::text(), this));
    who->addWidget(PlainLabel::make(QStringLiteral("needs approval \u00b7 ") + session.project(), Type::caption(),
                                    PixelSprite::yellow(), this));
    title->addLayout(who);
    title->addStretch();
    title->addWidget(new ToolCapsule(gate.toolName(), this), 0, Qt::AlignVCenter);
    column->addLayout(title);

    auto* risk = new QHBoxLayout;
    risk->setSpacing(7);
    risk->addWidget(new RiskDot(riskColor(level), this), 0, Qt::AlignVCenter);
    QFont riskFont = Type::mono(11, QFont::Bold);
    riskFont.setLetterSpacing(QFont::AbsoluteSpacing, 0.6);
    risk->addWidget(PlainLabel::make(riskLabel(level), riskFont, riskColor(level), this));
    if (!gate.risk().reasons.isEmpty()) {
        auto* reasons = PlainLabel::make(gate.risk().reasons.join(QStringLiteral(" \u00b7 ")), Type::caption(),
                                         Palette::text3(), this);
        reasons->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
        risk->addWidget(reasons, 1);
    } else {
        risk->addStretch();
    }
    column->addLayout(risk);

    column->addWidget(new DetailBox(gate.detail(), gate.change(),
                                    critical ? Palette::withOpacity(PixelSprite::pink(), 0.10) : Palette::card(),
                                    this));

    if (offersRule(level)) {
        m_alwaysAllow =
            new TickBox(QStringLiteral("Always allow \"%1\"").arg(RiskEngine::ruleKey(gate.toolName(), gate.detail())),
                        PixelSprite::green(), this);
        column->addWidget(m_alwaysAllow);
    }

    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(12);
    m_deny = new FlatButton(QStringLiteral("Deny"), PixelSprite::pink(), false, true, this);
    m_allow = new FlatButton(QStringLiteral("Allow"), PixelSprite::green(), true, true, this);
    buttons->addWidget(m_deny, 1);
    buttons->addWidget(m_allow, 1);
    column->addLayout(buttons);

    connect(m_deny, &QAbstractButton::clicked, this, [this] { answer(Vorlix::Behavior::deny); });
    connect(m_allow, &QAbstractButton::clicked, this, [this] { answer(Vorlix::Behavior::allow); });
}

bool GateCard::offersRule(Risk level) {
    return level == Risk::trivial || level == Risk::normal;
}

QColor GateCard::riskColor(Risk level) {
    switch (level) {
    case Risk::trivial:
    case Risk::normal:
        return PixelSprite::green();
    case Risk::elevated:
        return PixelSprite::yellow();
    case Risk::critical:
        break;
    }
    return PixelSprite::pink();
}

// A second click while the store removes this card must not answer again.
void GateCard::answer(Vorlix::Behavior behavior) {
    if (m_answered)
        return;
    m_answered = true;
    if (behavior == Vorlix::Behavior::allow && m_alwaysAllow && m_alwaysAllow->isChecked() && m_teachRule)
        m_teachRule();
    if (m_decide)
        m_decide(behavior);
}
