#include "sprites/SpriteView.h"
#include "kit/Palette.h"
#include "sprites/MenuBarIcon.h"
#include "sprites/PixelSprite.h"
#include "support/Clock.h"

#include <QDir>
#include <gtest/gtest.h>

using Vorlix::Source;

namespace {

const QDateTime reference(QDate(2001, 1, 1), QTime(0, 0), QTimeZone::utc());

void saveArtifact(const QImage& image, const QString& name) {
    QDir().mkpath(QStringLiteral(VORLIX_BINARY_DIR "/artifacts"));
    image.save(QStringLiteral(VORLIX_BINARY_DIR "/artifacts/") + name);
}

// Cells whose centre disagrees with lit() (the colour when lit, nothing when not), plus gaps left of a centre that
// carry paint.
int mismatches(const QImage& image, int cell, double gap, SpriteKind kind, Source agent, double t, QColor colour) {
    int wrong = 0;
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 16; ++x) {
            const QColor centre = image.pixelColor(x * cell + cell / 2, y * cell + cell / 2);
            wrong += (PixelSprite::lit(kind, agent, x, y, t) ? centre != colour : centre.alpha() != 0) ? 1 : 0;
            wrong += gap >= 1 && image.pixelColor(x * cell, y * cell + cell / 2).alpha() != 0 ? 1 : 0;
        }
    }
    return wrong;
}

TEST(PixelSprite, LightsCellsByFrameAndDither) {
    const std::tuple<SpriteKind, Source, int, int, double, bool> cases[] = {
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
    for (const auto& [kind, agent, x, y, t, lit] : cases)
        EXPECT_EQ(PixelSprite::lit(kind, agent, x, y, t), lit)
            << PixelSprite::key(agent, kind).toStdString() << " x=" << x << " y=" << y << " t=" << t;
}

// One 4×4 block of the dither: an intensity of 0.62 lights ten of its cells.
TEST(PixelSprite, DitherLightsTenCellsOfSixteen) {
    int count = 0;
    for (int i = 0; i < 16; ++i)
        count += PixelSprite::litIntensity(0.62, 4 + i % 4, 8 + i / 4) ? 1 : 0;
    EXPECT_EQ(count, 10);
}

// Cells of 20 px: each lit cell's centre carries the colour, the 3.2 px gap between cells never does.
TEST(SpriteView, PaintsExactlyTheLitCellsOfEveryCreatureAndFrame) {
    ManualClock clock;
    for (Source agent : Vorlix::allSources) {
        for (SpriteKind kind : allSpriteKinds) {
            for (int frame = 0; frame < 2; ++frame) {
                // Midway through the chosen frame, far from the reference date, as in real use.
                const double t = 7.8e8 + (frame + 0.5) / PixelSprite::frameRate(kind);
                clock.set(reference.addMSecs(static_cast<qint64>(t * 1000.0)));
                ASSERT_EQ(PixelSprite::frameIndex(kind, t), frame);
                SpriteView view(kind, agent, 320, std::nullopt, clock);
                QImage image(320, 320, QImage::Format_ARGB32);
                image.fill(Qt::transparent);
                view.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
                EXPECT_EQ(mismatches(image, 20, 3.2, kind, agent, t, Palette::state(kind)), 0)
                    << PixelSprite::key(agent, kind).toStdString() << " frame " << frame;
                if (agent == Source::claude && kind == SpriteKind::needsApproval)
                    saveArtifact(image, QStringLiteral("sprite-claude-needsApproval-%1.png").arg(frame));
            }
        }
    }
}

// The repaint waits for the kind's next absolute frame boundary, and a hidden view keeps no timer.
TEST(SpriteView, SchedulesTheRepaintAtTheNextFrameBoundaryOnlyWhileShown) {
    ManualClock clock(reference.addSecs(780000000).addMSecs(700));
    SpriteView view(SpriteKind::idle, Source::grok, 18, std::nullopt, clock);
    EXPECT_EQ(view.pendingRepaintMs(), -1);
    view.show();
    EXPECT_LE(view.pendingRepaintMs(), 301);
    EXPECT_GT(view.pendingRepaintMs(), 280);
    view.hide();
    EXPECT_EQ(view.pendingRepaintMs(), -1);
}

TEST(MenuBarIcon, DrawsTheIdleCreatureDitheredWithRowZeroOnTop) {
    const int scale = 8; // cells of 9 px
    const QColor colour(20, 30, 40);
    const QImage image = MenuBarIcon::render(colour, scale).convertToFormat(QImage::Format_ARGB32);
    ASSERT_EQ(image.size(), QSize(144, 144));
    saveArtifact(image, QStringLiteral("tray-icon.png"));
    EXPECT_EQ(mismatches(image, 9, 0, SpriteKind::idle, Source::claude, 0.0, colour), 0);
}

} // namespace
