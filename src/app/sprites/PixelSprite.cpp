#include "sprites/PixelSprite.h"

#include "sprites/Creature.h"

#include <QTimeZone>
#include <cmath>

namespace {

double intensity(char16_t c) {
    switch (c) {
    case u'#':
        return 1.0;
    case u'+':
        return 0.62;
    case u'\u00b7':
        return 0.3;
    default:
        return 0.0;
    }
}

PixelSprite::Frame toIntensities(const Creature::Bitmap& bitmap) {
    PixelSprite::Frame frame{};
    for (std::size_t r = 0; r < frame.size(); ++r) {
        for (std::size_t c = 0; c < frame[r].size() && c < bitmap[r].size(); ++c)
            frame[r][c] = intensity(bitmap[r][c]);
    }
    return frame;
}

// The same tables indexed by enum, so a repaint's 256 cell tests never hash a string.
using Table = std::array<std::array<PixelSprite::Frames, allSpriteKinds.size()>, Vorlix::allSources.size()>;

const Table& table() {
    static const Table built = [] {
        Table t;
        for (Vorlix::Source agent : Vorlix::allSources) {
            for (SpriteKind kind : allSpriteKinds) {
                const Creature::Frames frames = Creature::frames(agent, kind);
                PixelSprite::Frames& out = t[static_cast<std::size_t>(agent)][static_cast<std::size_t>(kind)];
                for (const Creature::Bitmap& bitmap : frames)
                    out.push_back(toIntensities(bitmap));
            }
        }
        return t;
    }();
    return built;
}

} // namespace

const QHash<QString, PixelSprite::Frames>& PixelSprite::cache() {
    static const QHash<QString, Frames> built = [] {
        QHash<QString, Frames> map;
        for (Vorlix::Source agent : Vorlix::allSources) {
            for (SpriteKind kind : allSpriteKinds)
                map.insert(key(agent, kind), table()[static_cast<std::size_t>(agent)][static_cast<std::size_t>(kind)]);
        }
        return map;
    }();
    return built;
}

const std::array<std::array<double, 4>, 4>& PixelSprite::bayer() {
    static const std::array<std::array<double, 4>, 4> thresholds = [] {
        constexpr int matrix[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};
        std::array<std::array<double, 4>, 4> t{};
        for (int r = 0; r < 4; ++r) {
            for (int c = 0; c < 4; ++c)
                t[r][c] = (matrix[r][c] + 0.5) / 16.0;
        }
        return t;
    }();
    return thresholds;
}

QString PixelSprite::key(Vorlix::Source agent, SpriteKind kind) {
    const std::string_view a = Vorlix::rawValue(agent);
    const std::string_view k = rawValue(kind);
    return QString::fromLatin1(a.data(), static_cast<qsizetype>(a.size())) + QLatin1Char('-') +
           QString::fromLatin1(k.data(), static_cast<qsizetype>(k.size()));
}

bool PixelSprite::litIntensity(double v, int x, int y) {
    if (v <= 0.0)
        return false;
    if (v >= 1.0)
        return true;
    return bayer()[static_cast<std::size_t>(y & 3)][static_cast<std::size_t>(x & 3)] < v;
}

bool PixelSprite::lit(SpriteKind kind, Vorlix::Source agent, int x, int y, double t) {
    const Frames& frames = table()[static_cast<std::size_t>(agent)][static_cast<std::size_t>(kind)];
    if (frames.empty() || y < 0 || y >= grid || x < 0 || x >= grid)
        return false;
    const Frame& frame = frames[static_cast<std::size_t>(frameIndex(kind, t)) % frames.size()];
    return litIntensity(frame[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)], x, y);
}

double PixelSprite::frameRate(SpriteKind kind) {
    switch (kind) {
    case SpriteKind::idle:
        return 1.0;
    case SpriteKind::thinking:
        return 3.0;
    case SpriteKind::reading:
    case SpriteKind::writing:
    case SpriteKind::shell:
        return 6.0;
    case SpriteKind::needsApproval:
        return 8.0;
    case SpriteKind::question:
        return 2.5;
    case SpriteKind::planReview:
        return 2.0;
    case SpriteKind::done:
        return 4.0;
    case SpriteKind::error:
        return 12.0;
    }
    return 1.0;
}

int PixelSprite::frameIndex(SpriteKind kind, double t) {
    const double f = std::trunc(t * frameRate(kind));
    // Before the reference date truncation gives negative counts; keep the index in 0…1.
    const double m = std::fmod(f, 2.0);
    return m < 0 ? static_cast<int>(m + 2.0) : static_cast<int>(m);
}

double PixelSprite::nextFrameBoundary(SpriteKind kind, double t) {
    const double rate = frameRate(kind);
    return (std::floor(t * rate) + 1.0) / rate;
}

double PixelSprite::secondsSinceReference(const QDateTime& time) {
    static const QDateTime reference(QDate(2001, 1, 1), QTime(0, 0), QTimeZone::utc());
    return static_cast<double>(reference.msecsTo(time)) / 1000.0;
}
