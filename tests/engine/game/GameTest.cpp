#include "game/Game.h"
#include "TempHome.h"
#include "support/Log.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>
#include <memory>
#include <nlohmann/json.hpp>

namespace {

const QTimeZone tokyo(QByteArrayLiteral("Asia/Tokyo"));
const QTimeZone newYork(QByteArrayLiteral("America/New_York"));

QDateTime at(const QTimeZone& zone, int month, int day, int hour, int minute, int second = 0) {
    return QDateTime(QDate(2024, month, day), QTime(hour, minute, second), zone);
}

class GameTest : public testing::Test {
protected:
    GameTest() {
        Log::setSink([this](const QString& line) { logged.append(line); });
    }
    ~GameTest() override { Log::setSink({}); }

    std::unique_ptr<Game> start() {
        auto game = std::make_unique<Game>(Game::defaultPath(), clock);
        game->onAchievement = [this](const Achievement& a) { notified.append(a.id); };
        game->onCoin = [this] { ++coinCalls; };
        return game;
    }

    // What the shell does when an approval is audited.
    void approve(Game& game) {
        game.unlock(QStringLiteral("first-blood"));
        if (Game::isNightOwlTime(clock.now(), clock.timeZone()))
            game.unlock(QStringLiteral("night-owl"));
        game.bumpStreak();
        game.save();
    }

    static void writeSave(const QByteArray& data) {
        QDir().mkpath(QFileInfo(Game::defaultPath()).path());
        QFile file(Game::defaultPath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(data);
    }

    static nlohmann::json readSave() {
        QFile file(Game::defaultPath());
        return file.open(QIODevice::ReadOnly) ? nlohmann::json::parse(file.readAll().toStdString(), nullptr, false)
                                              : nlohmann::json();
    }

    static QStringList asideFiles() {
        return QDir(QFileInfo(Game::defaultPath()).path()).entryList({QStringLiteral("game.json.corrupt-*")});
    }

    TempHome home;
    ManualClock clock{at(tokyo, 5, 10, 12, 0), tokyo};
    QStringList notified;
    QStringList logged;
    int coinCalls = 0;
};

TEST_F(GameTest, FirstApprovalAtNightUnlocksTwoInOrderAndCountsTheLocalDay) {
    clock.set(at(tokyo, 5, 10, 2, 30)); // still May 9 in UTC
    auto game = start();
    int streakSignals = 0;
    QObject::connect(game.get(), &Game::streakChanged, [&] { ++streakSignals; });

    approve(*game);
    clock.advance(3600);
    approve(*game);

    EXPECT_EQ(notified, QStringList({"first-blood", "night-owl"}));
    EXPECT_EQ(game->achievements().at(0).unlockedAt, at(tokyo, 5, 10, 2, 30));
    EXPECT_EQ(game->streak(), 1);
    EXPECT_EQ(streakSignals, 1);
    EXPECT_EQ(game->lastActiveDay(), "2024-05-10");
    EXPECT_EQ(readSave()["streak"], 1);
}

TEST(GameNightOwl, HourIsReadInTheUsersZone) {
    EXPECT_TRUE(Game::isNightOwlTime(at(tokyo, 5, 10, 4, 59, 59), tokyo));
    EXPECT_FALSE(Game::isNightOwlTime(at(tokyo, 5, 10, 5, 0), tokyo));
    EXPECT_TRUE(Game::isNightOwlTime(QDateTime(QDate(2024, 5, 9), QTime(19, 59), QTimeZone::utc()), tokyo)); // 04:59
    EXPECT_FALSE(Game::isNightOwlTime(QDateTime(), tokyo));
}

TEST_F(GameTest, WeekOfDaysUnlocksRegularOnceAndAGapRestartsTheStreak) {
    auto game = start();
    for (int day : {1, 2, 3, 4, 5, 6, 7, 9}) {
        clock.set(at(tokyo, 6, day, 12, 0));
        game->agentCompleted();
        EXPECT_EQ(notified.isEmpty(), day < 7) << day;
    }
    EXPECT_EQ(game->streak(), 1);
    EXPECT_EQ(game->bestStreak(), 7);
    EXPECT_EQ(notified, QStringList({"week-streak"}));
}

TEST_F(GameTest, StreakFollowsTheLocalCalendarNotElapsedTime) {
    const std::tuple<QDateTime, QDateTime, qint64> cases[] = {
        {at(tokyo, 5, 10, 23, 59), at(tokyo, 5, 11, 0, 1), 2},      // two minutes, one midnight
        {at(tokyo, 5, 10, 0, 1), at(tokyo, 5, 10, 23, 59), 1},      // a whole day, no midnight
        {at(tokyo, 5, 10, 0, 0), at(tokyo, 5, 11, 23, 59), 2},      // almost two days apart
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
    writeSave(R"({"coins":97,"streak":5,"bestStreak":5,"lastActiveDay":"09/05/2024","bossesBeaten":0,"unlocked":{}})");
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
    const nlohmann::json saved = readSave();
    EXPECT_EQ(saved["coins"], 108);
    EXPECT_EQ(saved["bossesBeaten"], 2);
    EXPECT_EQ(saved["lastActiveDay"], "2001-01-01");
    EXPECT_EQ(saved["unlocked"], nlohmann::json({{"boss-slayer", 100.5}, {"century", 100.5}}));

    Game again(Game::defaultPath(), clock);
    EXPECT_EQ(again.streak(), 1);
    EXPECT_EQ(again.bestStreak(), 5);
    EXPECT_EQ(again.bossesBeaten(), 2);
    EXPECT_EQ(again.achievements().at(2).unlockedAt, clock.now());
}

TEST_F(GameTest, UnusableOrUnreadableFileIsIgnoredWholeAndKeptAside) {
    const QByteArray cases[] = {
        R"({"coins":7,"streak":1,"bestStreak":1,"lastActiveDay":"2024-05-09","unlocked":{}})",
        R"({"coins":"7","streak":1,"bestStreak":1,"lastActiveDay":"","bossesBeaten":0,"unlocked":{}})",
        R"({"coins":18446744073709551615,"streak":1,"bestStreak":1,"lastActiveDay":"","bossesBeaten":0,"unlocked":{}})",
        R"({"coins":7,"streak":1,"bestStreak":1,"lastActiveDay":null,"bossesBeaten":0,"unlocked":{}})",
        R"({"coins":7,"streak":1,"bestStreak":1,"lastActiveDay":"","bossesBeaten":0,"unlocked":["century"]})",
        R"({"coins":7,"streak":1,"bestStreak":1,"lastActiveDay":"","bossesBeaten":0,"unlocked":{"century":"x"}})",
        R"({"coins":7,"streak":1,"bestStreak":1,"lastActiveDay":"","bossesBeaten":0,"unlocked":{"century":1e300}})",
        R"([1,2])",
        "",
        QByteArray(600, '[') + QByteArray(600, ']'),
    };
    for (const QByteArray& bytes : cases) {
        TempHome fresh;
        writeSave(bytes);
        auto game = start();
        EXPECT_EQ(game->coins(), 0) << bytes.left(80).toStdString();
        EXPECT_EQ(game->streak(), 0);
        EXPECT_EQ(game->unlockedCount(), 0);

        game->agentCompleted();
        const QStringList aside = asideFiles();
        ASSERT_EQ(aside.size(), 1) << bytes.left(80).toStdString();
        QFile kept(QFileInfo(Game::defaultPath()).path() + QLatin1Char('/') + aside.first());
        ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
        EXPECT_EQ(kept.readAll(), bytes);
        EXPECT_EQ(readSave()["coins"], 1);
    }
    EXPECT_EQ(logged.filter(QStringLiteral("game file unusable, moved to")).size(), std::size(cases));

    TempHome fresh;
    QDir().mkpath(Game::defaultPath()); // a folder where the file should be: unreadable
    start()->agentCompleted();
    EXPECT_EQ(asideFiles().size(), 1);
    EXPECT_EQ(readSave()["coins"], 1);
}

TEST_F(GameTest, UnknownKeysAreDroppedAndCountersStopAtTheLargestValue) {
    writeSave(R"({"coins":9223372036854775807,"streak":9223372036854775807,"bestStreak":0,"theme":"x",)"
              R"("lastActiveDay":"2024-05-09","bossesBeaten":9223372036854775807,)"
              R"("unlocked":{"century":10,"retired-badge":5.25}})");
    auto game = start();
    EXPECT_EQ(game->achievements().at(1).unlockedAt, QDateTime(QDate(2001, 1, 1), QTime(0, 0, 10), QTimeZone::utc()));
    game->bossBeaten();
    game->agentCompleted(); // May 10 follows May 9
    EXPECT_EQ(game->coins(), std::numeric_limits<qint64>::max());
    EXPECT_EQ(game->streak(), std::numeric_limits<qint64>::max());
    EXPECT_EQ(game->bossesBeaten(), std::numeric_limits<qint64>::max());
    EXPECT_EQ(notified, QStringList({"boss-slayer", "week-streak"}));
    EXPECT_TRUE(asideFiles().isEmpty());
    const nlohmann::json saved = readSave();
    EXPECT_EQ(saved["unlocked"]["century"], 10.0);
    EXPECT_FALSE(saved["unlocked"].contains("retired-badge"));
    EXPECT_FALSE(saved.contains("theme"));
}

} // namespace
