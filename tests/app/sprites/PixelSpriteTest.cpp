#include "sprites/PixelSprite.h"

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
        // A body cell far from the reference date, where a float frame count would lose its parity.
        {SpriteKind::idle, Source::claude, 2, 4, 7.8e8 + 0.25, true},
        // Feet step outward in frame B: question flips at 2.5 per second.
        {SpriteKind::question, Source::kiro, 0, 13, 0.0, false},
        {SpriteKind::question, Source::kiro, 0, 13, 0.41, true},
        // Outside the grid is dark.
        {SpriteKind::idle, Source::kiro, -1, 4, 0.0, false},
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

} // namespace
