#pragma once

#include "game/Achievement.h"
#include "support/Clock.h"
#include "support/JsonFile.h"

#include <QList>
#include <QObject>
#include <QString>
#include <functional>
#include <nlohmann/json_fwd.hpp>

struct AuditEntry;

/// Coins, daily streak, bosses and one-time achievements, kept in a small JSON file. Main thread only.
class Game final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Game)
    Q_PROPERTY(qint64 coins READ coins NOTIFY coinsChanged)
    Q_PROPERTY(qint64 streak READ streak NOTIFY streakChanged)
    Q_PROPERTY(qint64 bestStreak READ bestStreak NOTIFY bestStreakChanged)
    Q_PROPERTY(QString lastActiveDay READ lastActiveDay NOTIFY lastActiveDayChanged)
    Q_PROPERTY(qint64 bossesBeaten READ bossesBeaten NOTIFY bossesBeatenChanged)
    Q_PROPERTY(QList<Achievement> achievements READ achievements NOTIFY achievementsChanged)
    Q_PROPERTY(int unlockedCount READ unlockedCount NOTIFY achievementsChanged)

public:
    static constexpr qint64 centuryCoins = 100;
    static constexpr qint64 bossCoins = 5;
    static constexpr qint64 weekStreakDays = 7;
    static constexpr int nightOwlLastHour = 4;
    static constexpr qsizetype fullHouseSessions = 4;
    static constexpr int bossRisk = 3;

    /// Loads the save file at once; a file that exists but cannot be used is moved aside, never overwritten.
    explicit Game(QString path = defaultPath(), const Clock& clock = Clock::system(), QObject* parent = nullptr);

    /// ~/.vorlix-agents/data/game.json
    static QString defaultPath();
    /// Every achievement, locked, in the order the views list them.
    static const QList<Achievement>& catalog();

    qint64 coins() const { return m_state.coins; }
    qint64 streak() const { return m_state.streak; }
    qint64 bestStreak() const { return m_state.bestStreak; }
    const QString& lastActiveDay() const { return m_state.lastActiveDay; }
    qint64 bossesBeaten() const { return m_state.bossesBeaten; }
    const QList<Achievement>& achievements() const { return m_state.achievements; }
    int unlockedCount() const;
    const QString& path() const { return m_file.path(); }

    /// The game's share of one audit entry, given how many sessions are not done: "full-house" with four live,
    /// an approval counts for the day (and "first-blood", "night-owl" before 05:00 local), and denying a
    /// critical call beats a boss. Auto-decisions count for nothing.
    void record(const AuditEntry& entry, qsizetype liveSessions);
    /// One agent finished its work: a coin, today's streak, perhaps "century"; saves.
    void agentCompleted();
    /// The user denied a destructive command: five coins and "boss-slayer"; saves.
    void bossBeaten();
    /// Records activity today by the clock's time zone. Does not save: callers do.
    void bumpStreak();
    /// Unlocks the achievement with that id once; unknown ids and second unlocks do nothing. Saves.
    void unlock(const QString& id);
    /// Writes the whole file atomically; false when it could not be written (the state stays in memory).
    bool save();

    // Set once by the application shell; each is optional.
    std::function<void()> onCoin;
    std::function<void(const Achievement&)> onAchievement;

signals:
    void coinsChanged();
    void streakChanged();
    void bestStreakChanged();
    void lastActiveDayChanged();
    void bossesBeatenChanged();
    void achievementsChanged();

private:
    struct Saved {
        qint64 coins = 0;
        qint64 streak = 0;
        qint64 bestStreak = 0;
        QString lastActiveDay;
        qint64 bossesBeaten = 0;
        QList<Achievement> achievements = catalog();
    };

    static std::optional<Saved> decode(const nlohmann::json& root);
    /// Whether an approval at that time, read in that zone, earns "night-owl" (00:00 to 04:59).
    static bool isNightOwlTime(const QDateTime& at, const QTimeZone& zone);
    nlohmann::json encode() const;
    void addCoins(qint64 amount);

    JsonFile m_file;
    const Clock& m_clock;
    // Everything the save file holds.
    Saved m_state;
};
