#include "panel/SessionRow.h"

#include "kit/Card.h"
#include "kit/Palette.h"
#include "kit/PlainLabel.h"
#include "kit/StatusChip.h"
#include "kit/Type.h"
#include "panel/ContextBar.h"
#include "panel/ElidedLine.h"
#include "panel/PanelLayout.h"
#include "sprites/PixelSprite.h"
#include "sprites/SpriteView.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace {

constexpr double innerWidth = PanelLayout::contentWidth - 2 * 18;
constexpr int padding = 11;

} // namespace

SessionRow::SessionRow(const Session& session, const QString& home, const Clock& clock, QWidget* parent)
    : QWidget(parent), m_session(&session), m_clock(clock) {
    auto* content = new QWidget;
    auto* column = new QVBoxLayout(content);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(9);

    auto* top = new QHBoxLayout;
    top->setSpacing(12);
    top->addWidget(new SpriteView(session.state(), session.source(), 26, std::nullopt, clock, content), 0,
                   Qt::AlignVCenter);
    auto* who = new QVBoxLayout;
    who->setSpacing(3);
    auto* nameRow = new QHBoxLayout;
    nameRow->setSpacing(7);
    nameRow->addWidget(PlainLabel::make(QString::fromUtf8(Vorlix::displayName(session.source())), Type::label(),
                                        Palette::text(), content));
    nameRow->addWidget(new StatusChip(session.state(), content), 0, Qt::AlignVCenter);
    nameRow->addStretch();
    who->addLayout(nameRow);
    auto* folder =
        new ElidedLine(tildePath(session.cwd(), home), Type::caption(), Palette::text3(), Qt::ElideLeft, content);
    folder->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    who->addWidget(folder);
    top->addLayout(who, 1);

    auto* numbers = new QVBoxLayout;
    numbers->setSpacing(3);
    m_elapsed =
        PlainLabel::make(session.elapsed(clock.now()), Type::mono(12, QFont::Normal), Palette::text2(), content);
    numbers->addWidget(m_elapsed, 0, Qt::AlignRight);
    numbers->addWidget(PlainLabel::make(QStringLiteral("%1 tools").arg(session.toolCount()),
                                        Type::mono(11, QFont::Normal), Palette::text3(), content),
                       0, Qt::AlignRight);
    top->addLayout(numbers);
    column->addLayout(top);

    if (const auto& usage = session.context()) {
        auto* context = new QHBoxLayout;
        context->setSpacing(9);
        context->addWidget(new ContextBar(ContextBar::fractionOf(*usage), content), 1, Qt::AlignVCenter);
        context->addWidget(PlainLabel::make(usage->label(), Type::mono(11, QFont::Normal),
                                            ContextBar::nearlyFull(*usage) ? PixelSprite::yellow() : Palette::text3(),
                                            content));
        column->addLayout(context);
    }

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    // The card keeps its content at the content's own width; the row's numbers belong at the right edge.
    content->setMinimumWidth(static_cast<int>(innerWidth) - 2 * padding);
    outer->addWidget(new Card(Palette::cardOnBlack(), padding, content, this));
}

QString SessionRow::tildePath(const QString& path, const QString& home) {
    QString base = home;
    while (base.size() > 1 && base.endsWith(QLatin1Char('/')))
        base.chop(1);
    // Replacing "/" everywhere would turn every separator into "~".
    if (base.isEmpty() || base == QLatin1String("/"))
        return path;
    QString out;
    qsizetype from = 0;
    for (qsizetype at = path.indexOf(base); at >= 0; at = path.indexOf(base, at + 1)) {
        const qsizetype end = at + base.size();
        const bool wholeEnd = end == path.size() || path[end] == QLatin1Char('/');
        const bool wholeStart = at == 0 || path[at - 1].isSpace();
        if (at < from || !wholeEnd || !wholeStart)
            continue;
        out += path.mid(from, at - from) + QLatin1Char('~');
        from = end;
    }
    return out + path.mid(from);
}

void SessionRow::refreshElapsed() {
    if (m_session)
        m_elapsed->setText(m_session->elapsed(m_clock.now()));
}
