#include "Game.h"
#include "Log.h"
#include "TempHome.h"

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
    EXPECT_EQ(game->unlockedCount(), 2);
    EXPECT_EQ(game->streak(), 1);
    EXPECT_EQ(streakSignals, 1);
    EXPECT_EQ(game->lastActiveDay(), "2024-05-10");
    EXPECT_EQ(readSave()["streak"], 1);
}

TEST(GameNightOwl, HourIsReadInTheUsersZone) {
    const struct {
        QDateTime time;
        bool owl;
    } cases[] = {
        {at(tokyo, 5, 10, 0, 0), true},
        {at(tokyo, 5, 10, 4, 59, 59), true},
        {at(tokyo, 5, 10, 5, 0), false},
        {at(tokyo, 5, 10, 23, 59), false},
        {QDateTime(QDate(2024, 5, 9), QTime(19, 59), QTimeZone::utc()), true}, // 04:59 in Tokyo
        {QDateTime(QDate(2024, 5, 9), QTime(2, 0), QTimeZone::utc()), false},  // 11:00 in Tokyo
        {QDateTime(), false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Game::isNightOwlTime(c.time, tokyo), c.owl) << c.time.toString(Qt::ISODate).toStdString();
}

TEST_F(GameTest, WeekOfDaysUnlocksRegularAndAGapRestartsTheStreak) {
    auto game = start();
    for (int day = 1; day <= 7; ++day) {
        clock.set(at(tokyo, 6, day, 12, 0));
        game->agentCompleted();
        EXPECT_EQ(game->streak(), day);
        EXPECT_EQ(notified.contains("week-streak"), day == 7) << day;
    }
    clock.set(at(tokyo, 6, 9, 8, 0));
    game->agentCompleted();
    clock.set(at(tokyo, 6, 10, 8, 0));
    game->agentCompleted();

    EXPECT_EQ(game->streak(), 2);
    EXPECT_EQ(game->bestStreak(), 7);
    EXPECT_EQ(notified.count("week-streak"), 1);
}

TEST_F(GameTest, StreakFollowsTheLocalCalendarNotElapsedTime) {
    const struct {
        QDateTime first;
        QDateTime second;
        qint64 streak;
    } cases[] = {
        {at(tokyo, 5, 10, 23, 59), at(tokyo, 5, 11, 0, 1), 2},      // two minutes, one midnight
        {at(tokyo, 5, 10, 0, 1), at(tokyo, 5, 10, 23, 59), 1},      // a whole day, no midnight
        {at(tokyo, 5, 10, 0, 0), at(tokyo, 5, 11, 23, 59), 2},      // almost two days apart
        {at(tokyo, 5, 10, 23, 59), at(tokyo, 5, 12, 0, 0), 1},      // a day skipped
        {at(tokyo, 5, 11, 12, 0), at(tokyo, 5, 10, 12, 0), 1},      // the clock went back
        {at(newYork, 3, 9, 23, 30), at(newYork, 3, 10, 23, 30), 2}, // a 23-hour day
        {at(newYork, 11, 2, 0, 30), at(newYork, 11, 3, 23, 30), 2}, // a 25-hour day
    };
    for (const auto& c : cases) {
        TempHome fresh;
        clock.setTimeZone(c.first.timeZone());
        clock.set(c.first);
        Game game(Game::defaultPath(), clock);
        game.bumpStreak();
        clock.set(c.second);
        game.bumpStreak();
        EXPECT_EQ(game.streak(), c.streak) << c.first.toString(Qt::ISODate).toStdString();
        EXPECT_EQ(game.lastActiveDay(), c.second.date().toString(Qt::ISODate));
    }
}

TEST_F(GameTest, CenturyComesOnlyFromAFinishedAgent) {
    writeSave(R"({"coins":97,"streak":0,"bestStreak":0,"lastActiveDay":"","bossesBeaten":0,"unlocked":{}})");
    auto game = start();
    game->bossBeaten();
    game->bossBeaten();
    EXPECT_EQ(game->coins(), 107);
    EXPECT_EQ(game->bossesBeaten(), 2);
    EXPECT_EQ(notified, QStringList({"boss-slayer"}));

    game->agentCompleted();
    EXPECT_EQ(game->coins(), 108);
    EXPECT_EQ(notified, QStringList({"boss-slayer", "century"}));
    EXPECT_EQ(coinCalls, 3);
}

TEST_F(GameTest, StateSurvivesARestartInTheFileFormat) {
    clock.set(QDateTime::fromMSecsSinceEpoch(978'307'200'000 + 100'500, QTimeZone::utc()));
    {
        auto game = start();
        game->bossBeaten();
        game->agentCompleted();
    }
    nlohmann::json saved = readSave();
    EXPECT_EQ(saved["coins"], 6);
    EXPECT_EQ(saved["bossesBeaten"], 1);
    EXPECT_EQ(saved["lastActiveDay"], "2001-01-01");
    EXPECT_EQ(saved["unlocked"], nlohmann::json({{"boss-slayer", 100.5}}));

    Game again(Game::defaultPath(), clock);
    EXPECT_EQ(again.coins(), 6);
    EXPECT_EQ(again.streak(), 1);
    EXPECT_EQ(again.bestStreak(), 1);
    EXPECT_EQ(again.bossesBeaten(), 1);
    EXPECT_EQ(again.achievements().at(2).unlockedAt, clock.now());
    EXPECT_EQ(again.unlockedCount(), 1);
}

TEST_F(GameTest, UnusableFileIsIgnoredWholeAndKeptAside) {
    const QByteArray cases[] = {
        R"({"coins":7,"streak":1,"bestStreak":1,"lastActiveDay":"2024-05-09","unlocked":{}})",
        R"({"coins":"7","streak":1,"bestStreak":1,"lastActiveDay":"","bossesBeaten":0,"unlocked":{}})",
        R"({"coins":7.5,"streak":1,"bestStreak":1,"lastActiveDay":"","bossesBeaten":0,"unlocked":{}})",
        R"({"coins":18446744073709551615,"streak":1,"bestStreak":1,"lastActiveDay":"","bossesBeaten":0,"unlocked":{}})",
        R"({"coins":7,"streak":1,"bestStreak":1,"lastActiveDay":null,"bossesBeaten":0,"unlocked":{}})",
        R"({"coins":7,"streak":1,"bestStreak":1,"lastActiveDay":"","bossesBeaten":0,"unlocked":["century"]})",
        R"({"coins":7,"streak":1,"bestStreak":1,"lastActiveDay":"","bossesBeaten":0,"unlocked":{"century":"x"}})",
        R"({"coins":7,"streak":1,"bestStreak":1,"lastActiveDay":"","bossesBeaten":0,"unlocked":{"century":1e300}})",
        R"([1,2])",
        R"({"coins":7,)",
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
}

TEST_F(GameTest, UnreadableFileIsMovedAsideBeforeTheFirstSave) {
    QDir().mkpath(Game::defaultPath()); // a folder where the file should be
    auto game = start();
    game->agentCompleted();
    EXPECT_EQ(asideFiles().size(), 1);
    EXPECT_EQ(readSave()["coins"], 1);
}

TEST_F(GameTest, UnknownKeysAreDroppedAtTheNextSave) {
    writeSave(R"({"coins":3,"streak":2,"bestStreak":4,"lastActiveDay":"2024-05-09","bossesBeaten":1,"theme":"x",)"
              R"("unlocked":{"century":10,"retired-badge":5.25}})");
    auto game = start();
    EXPECT_EQ(game->coins(), 3);
    EXPECT_EQ(game->achievements().at(1).unlockedAt, QDateTime(QDate(2001, 1, 1), QTime(0, 0, 10), QTimeZone::utc()));

    game->agentCompleted(); // May 10 follows May 9
    EXPECT_EQ(game->streak(), 3);
    EXPECT_TRUE(asideFiles().isEmpty());
    nlohmann::json saved = readSave();
    EXPECT_EQ(saved["unlocked"], nlohmann::json({{"century", 10.0}}));
    EXPECT_FALSE(saved.contains("theme"));
}

TEST_F(GameTest, UnparsableLastDayRestartsTheStreak) {
    writeSave(R"({"coins":0,"streak":5,"bestStreak":5,"lastActiveDay":"09/05/2024","bossesBeaten":0,"unlocked":{}})");
    auto game = start();
    game->bumpStreak();
    EXPECT_EQ(game->streak(), 1);
    EXPECT_EQ(game->bestStreak(), 5);
}

TEST_F(GameTest, CountersStopAtTheLargestValueInsteadOfWrapping) {
    writeSave(R"({"coins":9223372036854775807,"streak":9223372036854775807,"bestStreak":0,)"
              R"("lastActiveDay":"2024-05-09","bossesBeaten":9223372036854775807,"unlocked":{}})");
    auto game = start();
    game->bossBeaten();
    game->agentCompleted();
    EXPECT_EQ(game->coins(), std::numeric_limits<qint64>::max());
    EXPECT_EQ(game->streak(), std::numeric_limits<qint64>::max());
    EXPECT_EQ(game->bossesBeaten(), std::numeric_limits<qint64>::max());
}

} // namespace
