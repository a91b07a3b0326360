#include "settings/ScoresTab.h"
#include "TempHome.h"
#include "WidgetProbe.h"
#include "game/Game.h"
#include "sprites/PixelSprite.h"

#include <gtest/gtest.h>

using namespace WidgetProbe;

TEST(ScoresTabTest, GameCountsAchievementsAndTrustPerAgent) {
    TempHome temp;
    const QString home = QString::fromStdString(temp.path());
    ManualClock clock(QDateTime(QDate(2026, 12, 7), QTime(12, 0), QTimeZone::utc()));
    AuditLog audit(home + "/audit", clock);
    Game game(home + "/game.json", clock);
    ScoresTab tab(audit, game);
    EXPECT_NE(label(&tab, "No agent activity yet today."), nullptr);
    EXPECT_NE(label(&tab, "ACHIEVEMENTS  0/6"), nullptr);

    const auto add = [&](const char* agent, const char* kind, int count, int risk = 1) {
        for (int i = 0; i < count; ++i)
            audit.record({clock.now(), agent, "s", "shop", kind, "Bash", "ls", risk});
    };
    add("claude", "approved", 8);
    add("claude", "auto-allowed", 1);
    add("claude", "denied", 1);
    add("codex", "approved", 3);
    add("codex", "denied", 1);
    add("codex", "denied", 1, 3);
    add("grok", "approved", 1);
    add("grok", "denied", 1);
    add("kiro", "tool", 2);
    game.unlock("first-blood");
    game.bossBeaten();
    settle();

    EXPECT_NE(label(&tab, "ACHIEVEMENTS  2/6"), nullptr);
    const struct {
        const char* trust;
        QColor color;
    } trusts[] = {
        {"90%", PixelSprite::green()},  // 9 of 10
        {"60%", PixelSprite::yellow()}, // 3 of 5
        {"50%", PixelSprite::pink()},   // 1 of 2: not above a half
        {"100%", PixelSprite::green()}, // nothing asked
    };
    for (const auto& t : trusts) {
        SCOPED_TRACE(t.trust);
        QLabel* value = label(&tab, t.trust);
        ASSERT_NE(value, nullptr);
        EXPECT_EQ(textColor(value), t.color);
    }
    const QStringList words = texts(&tab);
    EXPECT_TRUE(words.contains("0 tools \u00B7 9 approved \u00B7 1 denied \u00B7 1 auto"));
    EXPECT_TRUE(words.contains("0 tools \u00B7 3 approved \u00B7 2 denied"));
    EXPECT_EQ(words.count("risky"), 1); // only Codex had a risky call
    EXPECT_EQ(words.count("#1"), 1);
    EXPECT_NE(textColor(label(&tab, "#1")), textColor(label(&tab, "#2"))) << "the leader stands out";
    EXPECT_TRUE(words.contains("5")); // the boss's coins
    EXPECT_EQ(words.count("done"), 2);
}
