#include "settings/ScoresTab.h"
#include "TempHome.h"
#include "WidgetProbe.h"
#include "game/Game.h"

#include <gtest/gtest.h>

using namespace WidgetProbe;

TEST(ScoresTabTest, GameCountsAchievementsAndTrustPerAgent) {
    TempHome temp;
    const QString home = QString::fromStdString(temp.path());
    ManualClock clock(QDateTime(QDate(2026, 12, 7), QTime(12, 0), QTimeZone::utc()));
    AuditLog audit(home + "/audit", clock);
    Game game(home + "/game.json", clock);
    ScoresTab tab(audit, game);
    const auto value = [&](const char* stat, const char* inside = "") {
        const QWidget* shown = named(&tab, stat, inside);
        return shown != nullptr ? shown->findChild<QLabel*>()->text() : QString();
    };
    EXPECT_TRUE(tab.findChildren<QLabel*>("unlocked").isEmpty());
    EXPECT_EQ(named(&tab, "trust"), nullptr);

    const auto add = [&](const char* agent, const char* kind, int count, int risk = 1) {
        for (int i = 0; i < count; ++i)
            audit.record({clock.now(), agent, "s", "shop", kind, "Bash", "ls", risk});
    };
    add("codex", "approved", 3);
    add("codex", "denied", 1);
    add("codex", "denied", 1, 3);
    add("kiro", "tool", 2);
    game.unlock("first-blood");
    game.bossBeaten();
    settle();

    EXPECT_EQ(tab.findChildren<QLabel*>("unlocked").size(), 2);
    EXPECT_EQ(value("coins"), QString::number(game.coins()));
    // Trust is the share approved, of each agent's own decisions; nothing asked is full trust.
    const struct {
        const char* agent;
        const char* trust;
        bool risky;
    } rows[] = {{"codex", "60%", true}, {"kiro", "100%", false}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.agent);
        EXPECT_EQ(value("trust", row.agent), row.trust);
        EXPECT_EQ(named(&tab, "risky", row.agent) != nullptr, row.risky);
    }
}
