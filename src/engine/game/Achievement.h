#pragma once

#include <QDateTime>
#include <QString>
#include <optional>

/// One of the game's one-time achievements; locked while unlockedAt is absent.
struct Achievement {
    QString id; // stable key in the save file
    QString name;
    QString detail;
    std::optional<QDateTime> unlockedAt;

    bool unlocked() const { return unlockedAt.has_value(); }

    bool operator==(const Achievement&) const = default;
};

size_t qHash(const Achievement& achievement, size_t seed = 0) noexcept;
