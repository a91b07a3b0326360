#include "game/Game.h"

#include "JsonFields.h"
#include "audit/AuditEntry.h"
#include "support/AppPaths.h"
#include "support/Log.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <nlohmann/json.hpp>

namespace {

using nlohmann::json;

// Unlock times are stored as seconds since 2001-01-01 00:00:00 UTC.
constexpr qint64 referenceEpochMs = 978'307'200'000;
// Beyond this a stored time is nonsense, and converting it to milliseconds would overflow.
constexpr double maxStoredSeconds = 1e12;

constexpr QStringView dayFormat = u"yyyy-MM-dd";

qint64 saturatingAdd(qint64 a, qint64 b) {
    qint64 sum = 0;
    if (__builtin_add_overflow(a, b, &sum))
        return b > 0 ? std::numeric_limits<qint64>::max() : std::numeric_limits<qint64>::min();
    return sum;
}

template <typename T> bool assign(T& field, const T& value) {
    if (field == value)
        return false;
    field = value;
    return true;
}

std::optional<QDateTime> storedTime(const json& value) {
    if (!value.is_number())
        return std::nullopt;
    const double seconds = value.get<double>();
    if (!std::isfinite(seconds) || std::fabs(seconds) > maxStoredSeconds)
        return std::nullopt;
    return QDateTime::fromMSecsSinceEpoch(referenceEpochMs + std::llround(seconds * 1000.0), QTimeZone::utc());
}

double storedSeconds(const QDateTime& t) {
    return static_cast<double>(t.toMSecsSinceEpoch() - referenceEpochMs) / 1000.0;
}

} // namespace

Game::Game(QString path, const Clock& clock, QObject* parent)
    : QObject(parent), m_file(std::move(path), clock), m_clock(clock) {
    m_file.load([this](const json& root) {
        std::optional<Saved> saved = decode(root);
        if (saved)
            m_state = std::move(*saved);
        return saved.has_value();
    });
}

QString Game::defaultPath() {
    return AppPaths::dataDir() + QStringLiteral("/game.json");
}

const QList<Achievement>& Game::catalog() {
    static const QList<Achievement> list{
        {QStringLiteral("first-blood"), QStringLiteral("First Blood"),
         QStringLiteral("Approve your first agent action"), std::nullopt},
        {QStringLiteral("century"), QStringLiteral("Century"), QStringLiteral("Bank 100 coins"), std::nullopt},
        {QStringLiteral("boss-slayer"), QStringLiteral("Boss Slayer"), QStringLiteral("Deny a destructive command"),
         std::nullopt},
        {QStringLiteral("week-streak"), QStringLiteral("Regular"), QStringLiteral("A 7-day streak"), std::nullopt},
        {QStringLiteral("full-house"), QStringLiteral("Full House"), QStringLiteral("Four agents live at once"),
         std::nullopt},
        {QStringLiteral("night-owl"), QStringLiteral("Night Owl"), QStringLiteral("Approve something after midnight"),
         std::nullopt},
    };
    return list;
}

bool Game::isNightOwlTime(const QDateTime& at, const QTimeZone& zone) {
    return at.isValid() && at.toTimeZone(zone).time().hour() <= nightOwlLastHour;
}

int Game::unlockedCount() const {
    return static_cast<int>(std::count_if(m_state.achievements.cbegin(), m_state.achievements.cend(),
                                          [](const Achievement& a) { return a.unlocked(); }));
}

void Game::record(const AuditEntry& entry, qsizetype liveSessions) {
    if (liveSessions >= fullHouseSessions)
        unlock(QStringLiteral("full-house"));
    if (entry.kind == AuditKind::approved) {
        unlock(QStringLiteral("first-blood"));
        if (isNightOwlTime(entry.ts, m_clock.timeZone()))
            unlock(QStringLiteral("night-owl"));
        bumpStreak();
        save();
    } else if (entry.kind == AuditKind::denied && entry.risk && *entry.risk >= bossRisk) {
        bossBeaten();
    }
}

void Game::agentCompleted() {
    addCoins(1);
    bumpStreak();
    if (onCoin)
        onCoin();
    // Only a finished agent can bring "century": boss coins alone never do.
    if (m_state.coins >= centuryCoins)
        unlock(QStringLiteral("century"));
    save();
}

void Game::bossBeaten() {
    if (assign(m_state.bossesBeaten, saturatingAdd(m_state.bossesBeaten, 1)))
        emit bossesBeatenChanged();
    addCoins(bossCoins);
    unlock(QStringLiteral("boss-slayer"));
    if (onCoin)
        onCoin();
    save();
}

void Game::bumpStreak() {
    // The user's calendar, not UTC: a day ends at local midnight, and "yesterday" survives DST changes.
    const QDate today = m_clock.local(m_clock.now()).date();
    const QString todayText = today.toString(dayFormat);
    if (todayText == m_state.lastActiveDay)
        return;
    const QDate last = QDate::fromString(m_state.lastActiveDay, dayFormat);
    const qint64 streak = last.isValid() && last.daysTo(today) == 1 ? saturatingAdd(m_state.streak, 1) : 1;
    if (assign(m_state.streak, streak))
        emit streakChanged();
    if (assign(m_state.lastActiveDay, todayText))
        emit lastActiveDayChanged();
    if (assign(m_state.bestStreak, std::max(m_state.bestStreak, m_state.streak)))
        emit bestStreakChanged();
    if (m_state.streak >= weekStreakDays)
        unlock(QStringLiteral("week-streak"));
}

void Game::unlock(const QString& id) {
    const auto it = std::find_if(m_state.achievements.begin(), m_state.achievements.end(),
                                 [&id](const Achievement& a) { return a.id == id; });
    if (it == m_state.achievements.end() || it->unlocked())
        return;
    it->unlockedAt = m_clock.now();
    // A copy: the callback may reach back into the game and change the list.
    const Achievement unlocked = *it;
    emit achievementsChanged();
    if (onAchievement)
        onAchievement(unlocked);
    save();
}

bool Game::save() {
    QString error;
    if (!m_file.save(encode(), -1, &error)) {
        Log::line(QStringLiteral("Vorlix Agents: could not save game: ") + error);
        return false;
    }
    return true;
}

std::optional<Game::Saved> Game::decode(const json& root) {
    using Vorlix::JsonFields::int64;
    if (!root.is_object())
        return std::nullopt;
    const auto coins = int64(root, "coins");
    const auto streak = int64(root, "streak");
    const auto bestStreak = int64(root, "bestStreak");
    const auto bossesBeaten = int64(root, "bossesBeaten");
    const auto day = root.find("lastActiveDay");
    const auto unlocked = root.find("unlocked");
    if (!coins || !streak || !bestStreak || !bossesBeaten || day == root.end() || !day->is_string() ||
        unlocked == root.end() || !unlocked->is_object())
        return std::nullopt;

    Saved saved{*coins,        *streak,  *bestStreak, QString::fromStdString(day->get<std::string>()),
                *bossesBeaten, catalog()};
    // Every stored time must be a usable number, even under a key we no longer know.
    for (const auto& [key, value] : unlocked->items()) {
        const std::optional<QDateTime> at = storedTime(value);
        if (!at)
            return std::nullopt;
        for (Achievement& achievement : saved.achievements) {
            if (achievement.id.toStdString() == key)
                achievement.unlockedAt = at;
        }
    }
    return saved;
}

nlohmann::json Game::encode() const {
    json unlocked = json::object();
    for (const Achievement& achievement : m_state.achievements) {
        if (achievement.unlockedAt)
            unlocked[achievement.id.toStdString()] = storedSeconds(*achievement.unlockedAt);
    }
    return {
        {"coins", m_state.coins},
        {"streak", m_state.streak},
        {"bestStreak", m_state.bestStreak},
        {"lastActiveDay", m_state.lastActiveDay.toStdString()},
        {"bossesBeaten", m_state.bossesBeaten},
        {"unlocked", unlocked},
    };
}

void Game::addCoins(qint64 amount) {
    if (assign(m_state.coins, saturatingAdd(m_state.coins, amount)))
        emit coinsChanged();
}
