#include "game/Achievement.h"

#include <QHashFunctions>

size_t qHash(const Achievement& achievement, size_t seed) noexcept {
    return qHashMulti(seed, achievement.id, achievement.name, achievement.detail,
                      achievement.unlockedAt.value_or(QDateTime()));
}
