#include "panel/SessionRow.h"

#include "kit/Card.h"
#include "kit/ElidedLabel.h"
#include "kit/Metrics.h"
#include "kit/Palette.h"
#include "kit/PlainLabel.h"
#include "kit/StatusChip.h"
#include "kit/TildePath.h"
#include "kit/Type.h"
#include "panel/ContextBar.h"
#include "panel/PanelLayout.h"
#include "sprites/SpriteView.h"
#include "support/VisibleText.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QVBoxLayout>

namespace {

constexpr double innerWidth = PanelLayout::contentWidth - 2 * Metrics::islandPadding;
constexpr int spriteSize = 26;
constexpr int rowGap = 9;

} // namespace

SessionRow::SessionRow(const Session& session, const QString& home, const Clock& clock, QWidget* parent)
    : QWidget(parent), m_session(&session), m_home(home), m_clock(clock) {
    auto* content = new QWidget;
    auto* column = new QVBoxLayout(content);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(rowGap);

    auto* top = new QHBoxLayout;
    top->setSpacing(Metrics::wideGap);
    m_sprite = new SpriteView(session.state(), session.source(), spriteSize, std::nullopt, clock, content);
    top->addWidget(m_sprite, 0, Qt::AlignVCenter);
    auto* who = new QVBoxLayout;
    who->setSpacing(Metrics::lineGap);
    auto* nameRow = new QHBoxLayout;
    nameRow->setSpacing(Metrics::tightGap);
    m_name = PlainLabel::make(QString(), Type::label(), Palette::text(), content);
    nameRow->addWidget(m_name);
    m_chip = new StatusChip(session.state(), content);
    nameRow->addWidget(m_chip, 0, Qt::AlignVCenter);
    nameRow->addStretch();
    who->addLayout(nameRow);
    m_folder = new ElidedLabel(QString(), Qt::ElideLeft, content);
    PlainLabel::style(m_folder, Type::caption(), Palette::text3());
    m_folder->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    who->addWidget(m_folder);
    m_message = new ElidedLabel(QString(), Qt::ElideRight, content);
    m_message->setObjectName(QStringLiteral("agentMessage"));
    PlainLabel::style(m_message, Type::caption(), Palette::text2());
    m_message->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    who->addWidget(m_message);
    top->addLayout(who, 1);

    auto* numbers = new QVBoxLayout;
    numbers->setSpacing(Metrics::lineGap);
    m_elapsed = PlainLabel::make(QString(), Type::mono(12, QFont::Normal), Palette::text2(), content);
    numbers->addWidget(m_elapsed, 0, Qt::AlignRight);
    m_tools = PlainLabel::make(QString(), Type::mono(11, QFont::Normal), Palette::text3(), content);
    numbers->addWidget(m_tools, 0, Qt::AlignRight);
    top->addLayout(numbers);
    column->addLayout(top);

    m_context = new QWidget(content);
    auto* context = new QHBoxLayout(m_context);
    context->setContentsMargins(0, 0, 0, 0);
    context->setSpacing(rowGap);
    m_contextBar = new ContextBar(0, m_context);
    context->addWidget(m_contextBar, 1, Qt::AlignVCenter);
    m_contextLabel = PlainLabel::make(QString(), Type::mono(11, QFont::Normal), Palette::text3(), m_context);
    context->addWidget(m_contextLabel);
    column->addWidget(m_context);

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    // The card keeps its content at the content's own width; the row's numbers belong at the right edge.
    content->setMinimumWidth(static_cast<int>(innerWidth) - 2 * Metrics::cardPadding);
    outer->addWidget(new Card(Palette::cardOnBlack(), Metrics::cardPadding, content, this));
    setCursor(Qt::PointingHandCursor);
    setToolTip(QStringLiteral("Go to terminal"));
    refresh();
}

void SessionRow::mouseReleaseEvent(QMouseEvent* event) {
    QWidget::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit clicked();
}

void SessionRow::refresh() {
    if (!m_session)
        return;
    m_sprite->setKind(m_session->state());
    m_sprite->setAgent(m_session->source());
    m_name->setText(QString::fromUtf8(Vorlix::displayName(m_session->source())));
    m_chip->setKind(m_session->state());
    m_chip->setAttention(m_session->attention());
    m_folder->setFullText(TildePath::shorten(m_session->cwd(), m_home));
    const bool says = m_session->attention() != Session::Attention::none && !m_session->agentMessage().isEmpty();
    // Agent text: a bidi control must not reorder what is around it.
    m_message->setFullText(says ? VisibleText::reveal(m_session->agentMessage()) : QString());
    m_message->setVisible(says);
    m_tools->setText(QStringLiteral("%1 tools").arg(m_session->toolCount()));
    const auto& usage = m_session->context();
    m_context->setVisible(usage.has_value());
    if (usage) {
        m_contextBar->setFraction(ContextBar::fractionOf(*usage));
        m_contextLabel->setText(usage->label());
        PlainLabel::style(m_contextLabel, Type::mono(11, QFont::Normal),
                          ContextBar::nearlyFull(*usage) ? Palette::caution() : Palette::text3());
    }
    refreshElapsed();
}

void SessionRow::refreshElapsed() {
    if (m_session)
        m_elapsed->setText(m_session->elapsed(m_clock.now()));
}
