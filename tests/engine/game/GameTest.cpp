#include "game/Game.h"
#include "TempHome.h"
#include "TestFiles.h"
#include "audit/AuditEntry.h"

#include <gtest/gtest.h>
#include <memory>
#include <nlohmann/json.hpp>

namespace {

const QTimeZone tokyo(QByteArrayLiteral("Asia/Tokyo"));
const QTimeZone newYork(QByteArrayLiteral("America/New_York"));

QDateTime at(const QTimeZone& zone, int month, int day, int hour, int minute, int second = 0) {
    return QDateTime(QDate(2024, month, day), QTime(hour, minute, second), zone);
}

AuditEntry entry(const QDateTime& ts, QLatin1String kind, std::optional<int> risk = std::nullopt) {
    return AuditEntry{ts, "claude", "s", "p", kind, "Bash", "rm -rf /", risk};
}

nlohmann::json readSave() {
    return nlohmann::json::parse(TestFiles::read(Game::defaultPath()).toStdString(), nullptr, false);
}

struct GameTest : testing::Test {
    std::unique_ptr<Game> start() {
        auto game = std::make_unique<Game>(Game::defaultPath(), clock);
        game->onAchievement = [this](const Achievement& a) { notified.append(a.id); };
        game->onCoin = [this] { ++coinCalls; };
        return game;
    }
    TempHome home;
    ManualClock clock{at(tokyo, 5, 10, 12, 0), tokyo};
    QStringList notified;
    int coinCalls = 0;
};

} // namespace

// What one audit entry is worth: only a person's approval counts for the day, only a denied critical call is a boss.
TEST_F(GameTest, RecordedEntries) {
    // When, what, its risk, live sessions; then the achievements, the streak and the bosses it brings.
    const std::tuple<QDateTime, QLatin1String, std::optional<int>, qsizetype, QStringList, qint64, qint64> cases[] = {
        {at(tokyo, 5, 10, 4, 59, 59), AuditKind::approved, 1, 1, {"first-blood", "night-owl"}, 1, 0},
        {at(tokyo, 5, 10, 5, 0), AuditKind::approved, 1, 1, {"first-blood"}, 1, 0},
        // 04:59 in Tokyo, still the evening before in UTC.
        {at(QTimeZone::utc(), 5, 9, 19, 59), AuditKind::approved, 0, 1, {"first-blood", "night-owl"}, 1, 0},
        {at(tokyo, 5, 10, 12, 0), AuditKind::denied, 3, 1, {"boss-slayer"}, 0, 1},
        {at(tokyo, 5, 10, 12, 0), AuditKind::denied, 2, 1, {}, 0, 0},
        {at(tokyo, 5, 10, 2, 0), AuditKind::autoAllowed, 0, 1, {}, 0, 0},
        {at(tokyo, 5, 10, 12, 0), AuditKind::autoDenied, 3, 1, {}, 0, 0},
        {at(tokyo, 5, 10, 12, 0), AuditKind::tool, std::nullopt, 4, {"full-house"}, 0, 0},
        {at(tokyo, 5, 10, 12, 0), AuditKind::tool, std::nullopt, 3, {}, 0, 0},
    };
    for (const auto& [ts, kind, risk, live, unlocked, streak, bosses] : cases) {
        SCOPED_TRACE(ts.toString(Qt::ISODate).toStdString() + " " + std::string(kind.data()));
        TempHome fresh;
        notified.clear();
        clock.set(ts);
        auto game = start();
        game->record(entry(ts, kind, risk), live);
        game->record(entry(ts.addSecs(60), kind, risk), live); // twice on one day: one streak day
        EXPECT_EQ(notified, unlocked);
        EXPECT_EQ(game->streak(), streak);
        EXPECT_EQ(game->bossesBeaten(), bosses * 2);
    }
}

TEST_F(GameTest, StreakFollowsTheLocalCalendarNotElapsedTime) {
    const std::tuple<QDateTime, QDateTime, qint64> cases[] = {
        {at(tokyo, 5, 10, 23, 59), at(tokyo, 5, 11, 0, 1), 2},      // two minutes, one midnight
        {at(tokyo, 5, 10, 0, 1), at(tokyo, 5, 10, 23, 59), 1},      // a whole day, no midnight
        {at(tokyo, 5, 10, 23, 59), at(tokyo, 5, 12, 0, 0), 1},      // a day skipped
        {at(tokyo, 5, 11, 12, 0), at(tokyo, 5, 10, 12, 0), 1},      // the clock went back
        {at(newYork, 3, 9, 23, 30), at(newYork, 3, 10, 23, 30), 2}, // a 23-hour day
        {at(newYork, 11, 2, 0, 30), at(newYork, 11, 3, 23, 30), 2}, // a 25-hour day
    };
    for (const auto& [first, second, streak] : cases) {
        TempHome fresh;
        clock.setTimeZone(first.timeZone());
        clock.set(first);
        Game game(Game::defaultPath(), clock);
        game.bumpStreak();
        clock.set(second);
        game.bumpStreak();
        EXPECT_EQ(game.streak(), streak) << first.toString(Qt::ISODate).toStdString();
        EXPECT_EQ(game.lastActiveDay(), second.date().toString(Qt::ISODate));
    }
}

TEST_F(GameTest, CenturyComesOnlyFromAFinishedAgentAndStateSurvivesARestart) {
    clock.set(QDateTime::fromMSecsSinceEpoch(978'307'200'000 + 100'500, QTimeZone::utc()));
    // A last day that cannot be read restarts the streak.
    TestFiles::write(Game::defaultPath(), R"({"coins":97,"streak":5,"bestStreak":5,"lastActiveDay":"09/05/2024",)"
                                          R"("bossesBeaten":0,"unlocked":{}})");
    {
        auto game = start();
        game->bossBeaten();
        game->bossBeaten();
        EXPECT_EQ(game->coins(), 107);
        EXPECT_EQ(notified, QStringList({"boss-slayer"}));
        game->agentCompleted();
        EXPECT_EQ(notified, QStringList({"boss-slayer", "century"}));
        EXPECT_EQ(coinCalls, 3);
    }
    EXPECT_EQ(readSave(), nlohmann::json::parse(R"({"coins":108,"streak":1,"bestStreak":5,"lastActiveDay":"2001-01-01",
        "bossesBeaten":2,"unlocked":{"boss-slayer":100.5,"century":100.5}})"));
    Game again(Game::defaultPath(), clock);
    EXPECT_EQ(std::tuple(again.coins(), again.streak(), again.bestStreak(), again.bossesBeaten()),
              std::tuple(108, 1, 5, 2));
    EXPECT_EQ(again.achievements().at(2).unlockedAt, clock.now());
}

// A save file is used whole or not at all: one bad member and it is set aside.
TEST_F(GameTest, SaveFilesWithABadMemberAreSetAsideWhole) {
    const QByteArray good =
        R"({"coins":7,"streak":1,"bestStreak":1,"lastActiveDay":"","bossesBeaten":0,"unlocked":{}})";
    const std::pair<const char*, const char*> cases[] = {
        {R"("coins":7)", R"("coins":"7")"},
        {R"("lastActiveDay":"")", R"("lastActiveDay":null)"},
        {R"("unlocked":{})", R"("unlocked":{"century":"x"})"},
        {R"("unlocked":{})", R"("unlocked":{"retired":1e300})"},
    };
    for (const auto& [from, to] : cases) {
        TempHome fresh;
        TestFiles::write(Game::defaultPath(), QByteArray(good).replace(from, to));
        EXPECT_EQ(start()->coins(), 0) << to;
        EXPECT_EQ(TestFiles::aside(Game::defaultPath()).size(), 1) << to;
    }
}

TEST_F(GameTest, UnknownKeysAreDroppedAndUnlockTimesKeepTheirReferenceDate) {
    TestFiles::write(Game::defaultPath(),
                     R"({"coins":3,"streak":6,"bestStreak":6,"theme":"x","lastActiveDay":"2024-05-09",)"
                     R"("bossesBeaten":0,"unlocked":{"century":10,"retired-badge":5.25}})");
    auto game = start();
    EXPECT_EQ(game->achievements().at(1).unlockedAt, QDateTime(QDate(2001, 1, 1), QTime(0, 0, 10), QTimeZone::utc()));
    game->agentCompleted(); // May 10 follows May 9
    EXPECT_EQ(notified, QStringList({"week-streak"}));
    const nlohmann::json saved = readSave();
    // Noon in Tokyo on May 10 is 737002800 s after the reference date.
    EXPECT_EQ(saved["unlocked"], nlohmann::json({{"century", 10.0}, {"week-streak", 737002800.0}}));
    EXPECT_FALSE(saved.contains("theme"));
}
