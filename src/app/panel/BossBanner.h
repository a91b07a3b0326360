#pragma once

#include "support/Clock.h"

#include <QTimer>
#include <QWidget>

/// The pink "⚠ BOSS FIGHT" strip over a destructive request, blinking on the clock's half seconds.
class BossBanner final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(BossBanner)

public:
    explicit BossBanner(const Clock& clock = Clock::system(), QWidget* parent = nullptr);

    /// On during even half seconds since the reference date.
    static bool phaseOn(double secondsSinceReference);
    bool on() const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void scheduleFlip();

    const Clock& m_clock;
    QTimer m_flip;
};
