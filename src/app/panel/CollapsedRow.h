#pragma once

#include "panel/NotchGeometry.h"
#include "sessions/Session.h"
#include "support/Clock.h"

#include <QList>
#include <QWidget>
#include <array>

class ElidedLabel;
class SpriteView;

/// The closed island: up to four creatures just left of the notch, the first session's activity just right of
/// it, both inside the ears the panel was sized for, so the row fits screens with and without a notch.
class CollapsedRow final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CollapsedRow)

public:
    static constexpr int maxSprites = 4;

    CollapsedRow(const NotchGeometry& geo, const Clock& clock, QWidget* parent = nullptr);

    /// Shows these sessions, reusing the creatures already there.
    void setSessions(const QList<Session*>& sessions);

private:
    const NotchGeometry m_geo;
    QWidget* m_ear = nullptr;
    std::array<SpriteView*, maxSprites> m_sprites{};
    ElidedLabel* m_activity = nullptr;
};
