#include "panel/CollapsedRow.h"

#include "kit/ElidedLabel.h"
#include "kit/Metrics.h"
#include "kit/Palette.h"
#include "kit/PlainLabel.h"
#include "kit/Type.h"
#include "panel/PanelLayout.h"
#include "sprites/SpriteView.h"

#include <QHBoxLayout>
#include <cmath>

CollapsedRow::CollapsedRow(const NotchGeometry& geo, const Clock& clock, QWidget* parent)
    : QWidget(parent), m_geo(geo) {
    auto* line = new QHBoxLayout(this);
    line->setContentsMargins(Metrics::gap, 0, Metrics::gap, 0);
    line->setSpacing(0);

    m_ear = new QWidget(this);
    auto* sprites = new QHBoxLayout(m_ear);
    sprites->setContentsMargins(0, 0, Metrics::notchGap, 0);
    sprites->setSpacing(static_cast<int>(PanelLayout::spriteGap));
    sprites->addStretch();
    for (SpriteView*& sprite : m_sprites) {
        sprite = new SpriteView(SpriteKind::idle, Vorlix::Source::claude, PanelLayout::spriteSize, std::nullopt, clock,
                                m_ear);
        sprite->hide();
        sprites->addWidget(sprite, 0, Qt::AlignVCenter);
    }
    line->addWidget(m_ear);
    line->addSpacing(static_cast<int>(m_geo.notchWidth));

    m_activity = new ElidedLabel(QString(), Qt::ElideRight, this);
    PlainLabel::style(m_activity, Type::mono(11, QFont::Medium), Palette::text2());
    m_activity->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    auto* rightEar = new QWidget(this);
    auto* rightLine = new QHBoxLayout(rightEar);
    rightLine->setContentsMargins(Metrics::wideGap, 0, 0, 0);
    rightLine->addWidget(m_activity);
    line->addWidget(rightEar, 1);
}

void CollapsedRow::setSessions(const QList<Session*>& sessions) {
    const double left = PanelLayout::leftEar(sessions.size());
    const QString activity = sessions.isEmpty() ? QString() : sessions.constFirst()->activity();
    const double right = PanelLayout::rightEar(activity);
    setFixedSize(static_cast<int>(std::ceil(left + m_geo.notchWidth + right + 2 * Metrics::gap)),
                 static_cast<int>(m_geo.notchHeight));
    m_ear->setFixedWidth(static_cast<int>(left));
    for (qsizetype i = 0; i < maxSprites; ++i) {
        SpriteView* sprite = m_sprites[static_cast<std::size_t>(i)];
        if (i < sessions.size()) {
            sprite->setKind(sessions[i]->state());
            sprite->setAgent(sessions[i]->source());
        }
        sprite->setVisible(i < sessions.size());
    }
    m_activity->setFullText(activity);
}
