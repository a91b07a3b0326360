#include "sprites/PixelSprite.h"
#include "sprites/Creature.h"

#include <QTimeZone>
#include <gtest/gtest.h>

using Vorlix::Source;

namespace {

struct LitCase {
    SpriteKind kind;
    Source agent;
    int x;
    int y;
    double t;
    bool lit;
};

TEST(PixelSprite, LightsCellsByFrameAndDither) {
    const LitCase cases[] = {
        // Body "#" cells are lit in both frames; the blank corner never is.
        {SpriteKind::idle, Source::claude, 2, 4, 0.0, true},
        {SpriteKind::idle, Source::claude, 2, 4, 1.5, true},
        {SpriteKind::idle, Source::claude, 2, 4, 7.8e8 + 0.25, true},
        {SpriteKind::idle, Source::claude, 0, 0, 0.5, false},
        // 10.0 s × 8 = 80 → frame A (flagA's pole top); 10.125 s → 81 → frame B, where row 0 is blank.
        {SpriteKind::needsApproval, Source::claude, 4, 0, 10.0, true},
        {SpriteKind::needsApproval, Source::claude, 4, 0, 10.125, false},
        {SpriteKind::needsApproval, Source::claude, 3, 1, 10.125, true},
        // Dithered crack cells meet thresholds above their intensity and stay dark.
        {SpriteKind::error, Source::claude, 2, 1, 0.0, false},
        {SpriteKind::error, Source::claude, 12, 1, 0.0, false},
        {SpriteKind::error, Source::claude, 3, 1, 1.0 / 12 + 0.001, false},
        {SpriteKind::error, Source::claude, 11, 1, 1.0 / 12 + 0.001, false},
        // Feet step outward in frame B: question flips at 2.5 per second.
        {SpriteKind::question, Source::kiro, 0, 13, 0.0, false},
        {SpriteKind::question, Source::kiro, 0, 13, 0.41, true},
        // Outside the grid is dark.
        {SpriteKind::idle, Source::kiro, -1, 4, 0.0, false},
        {SpriteKind::idle, Source::kiro, 16, 4, 0.0, false},
        {SpriteKind::idle, Source::kiro, 1, 16, 0.0, false},
        // Before the reference date the frame index stays 0 or 1.
        {SpriteKind::question, Source::kiro, 0, 13, -0.41, true},
    };
    for (const LitCase& c : cases) {
        EXPECT_EQ(PixelSprite::lit(c.kind, c.agent, c.x, c.y, c.t), c.lit)
            << PixelSprite::key(c.agent, c.kind).toStdString() << " x=" << c.x << " y=" << c.y << " t=" << c.t;
    }
}

TEST(PixelSprite, DitherLightsTenAndFiveCellsOfSixteen) {
    EXPECT_DOUBLE_EQ(PixelSprite::bayer()[0][0], 0.03125);
    EXPECT_DOUBLE_EQ(PixelSprite::bayer()[3][0], 0.96875);
    const struct {
        double intensity;
        int litCells;
    } cases[] = {{1.0, 16}, {0.62, 10}, {0.3, 5}, {0.0, 0}, {0.03, 0}, {0.032, 1}, {0.97, 16}};
    for (const auto& c : cases) {
        int count = 0;
        for (int y = 0; y < 4; ++y) {
            for (int x = 0; x < 4; ++x)
                count += PixelSprite::litIntensity(c.intensity, x + 4, y + 8) ? 1 : 0;
        }
        EXPECT_EQ(count, c.litCells) << c.intensity;
    }
}

TEST(PixelSprite, CacheHoldsTwoFramesForEveryAgentAndKind) {
    const auto& cache = PixelSprite::cache();
    EXPECT_EQ(cache.size(), 40);
    for (Source agent : Vorlix::allSources) {
        for (SpriteKind kind : allSpriteKinds) {
            const QString key = PixelSprite::key(agent, kind);
            ASSERT_TRUE(cache.contains(key)) << key.toStdString();
            EXPECT_EQ(cache.value(key).size(), 2u);
        }
    }
    EXPECT_TRUE(cache.contains(QStringLiteral("claude-idle")));
    EXPECT_TRUE(cache.contains(QStringLiteral("kiro-needsApproval")));
    // The middle dot of crackedB keeps its own intensity through composition.
    EXPECT_DOUBLE_EQ(cache.value(QStringLiteral("grok-error"))[1][1][3], 0.3);
    EXPECT_DOUBLE_EQ(cache.value(QStringLiteral("grok-error"))[0][1][2], 0.62);
}

TEST(PixelSprite, BodiesAreSixteenWideAndDifferOnlyInTheFeet) {
    for (Source agent : Vorlix::allSources) {
        const Creature::Frames body = Creature::body(agent);
        for (int r = 0; r < 16; ++r) {
            EXPECT_EQ(body[0][r].size(), 16u);
            EXPECT_EQ(body[0][r] == body[1][r], r != 13) << "row " << r;
            if (r < 4 || r > 13) {
                EXPECT_EQ(body[0][r], u"................");
            }
        }
    }
    for (SpriteKind kind : allSpriteKinds) {
        for (const Creature::Bitmap& crown : Creature::crown(kind)) {
            for (int r = 0; r < 16; ++r) {
                EXPECT_EQ(crown[r].size(), 16u);
                if (r >= 4) {
                    EXPECT_EQ(crown[r], u"................");
                }
            }
        }
    }
}

TEST(PixelSprite, StatusLabelAndTintFollowTheKindForEveryAgent) {
    using S = PixelSprite::Status;
    const struct {
        SpriteKind kind;
        S status;
        const char* label;
        QColor tint;
    } cases[] = {
        {SpriteKind::idle, S::active, "active", PixelSprite::pink()},
        {SpriteKind::thinking, S::active, "active", PixelSprite::pink()},
        {SpriteKind::reading, S::active, "active", PixelSprite::pink()},
        {SpriteKind::writing, S::active, "active", PixelSprite::pink()},
        {SpriteKind::shell, S::active, "active", PixelSprite::pink()},
        {SpriteKind::needsApproval, S::needsYou, "needs you", PixelSprite::yellow()},
        {SpriteKind::question, S::needsYou, "needs you", PixelSprite::yellow()},
        {SpriteKind::planReview, S::needsYou, "needs you", PixelSprite::yellow()},
        {SpriteKind::done, S::completed, "completed", PixelSprite::green()},
        {SpriteKind::error, S::needsYou, "needs you", PixelSprite::yellow()},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(PixelSprite::status(c.kind), c.status);
        EXPECT_EQ(PixelSprite::statusLabel(c.kind), QString::fromUtf8(c.label));
        EXPECT_EQ(PixelSprite::tint(c.kind), c.tint);
    }
    EXPECT_EQ(PixelSprite::green(), QColor(140, 232, 140));
}

TEST(PixelSprite, NextFrameBoundaryIsSharedByEverySpriteOfAKind) {
    const struct {
        SpriteKind kind;
        double t;
        double boundary;
    } cases[] = {
        {SpriteKind::question, 10.1, 10.4},        {SpriteKind::question, 10.39, 10.4},
        {SpriteKind::needsApproval, 10.0, 10.125}, {SpriteKind::idle, 3.999, 4.0},
        {SpriteKind::error, 0.0, 1.0 / 12},
    };
    for (const auto& c : cases)
        EXPECT_NEAR(PixelSprite::nextFrameBoundary(c.kind, c.t), c.boundary, 1e-9) << c.t;
    // The reference date is 2001-01-01 UTC.
    EXPECT_DOUBLE_EQ(
        PixelSprite::secondsSinceReference(QDateTime::fromSecsSinceEpoch(978307200 + 90, QTimeZone::utc())), 90.0);
}

} // namespace
