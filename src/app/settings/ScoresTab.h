#pragma once

#include "audit/AuditLog.h"
#include "settings/TabPage.h"

#include <QColor>

class Game;
struct Achievement;

/// The game's coins, streaks and achievements, and today's scoreboard with each agent's trust.
class ScoresTab final : public TabPage {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ScoresTab)

public:
    ScoresTab(AuditLog& audit, Game& game, QWidget* parent = nullptr);

    /// Green above 80 % approved, yellow above 50 %, pink otherwise; green with no request at all.
    static QColor trustColor(const AuditLog::Score& score);
    /// "12 tools · 9 approved · 1 denied", with " · 3 auto" when anything was auto-allowed.
    static QString summary(const AuditLog::Score& score);

protected:
    void build(QBoxLayout* column) override;

private:
    QWidget* gameCard() const;
    static QWidget* achievementRow(const Achievement& achievement);
    static QWidget* scoreRow(const AuditLog::Score& score, int position);

    AuditLog& m_audit;
    Game& m_game;
};
