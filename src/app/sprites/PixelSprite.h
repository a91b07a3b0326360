#pragma once

#include "Source.h"
#include "sessions/SpriteKind.h"

#include <QColor>
#include <QDateTime>
#include <QHash>
#include <QString>
#include <array>
#include <vector>

/// The creatures as intensity tables and the lighting rule with its ordered dither.
class PixelSprite final {
public:
    static constexpr int grid = 16;
    using Frame = std::array<std::array<double, grid>, grid>;
    using Frames = std::vector<Frame>;

    /// "claude-idle" and the like → two frames of 16 × 16 intensities; built once, read-only afterwards.
    static const QHash<QString, Frames>& cache();
    /// 4 × 4 Bayer thresholds, (m + 0.5) / 16.
    static const std::array<std::array<double, 4>, 4>& bayer();
    static QString key(Vorlix::Source agent, SpriteKind kind);

    /// Whether an intensity lights cell (x, y): never at 0, always at 1, otherwise by the dither matrix.
    static bool litIntensity(double v, int x, int y);
    /// Whether cell (x, y) is lit at t seconds since the reference date.
    static bool lit(SpriteKind kind, Vorlix::Source agent, int x, int y, double t);

    static double frameRate(SpriteKind kind);
    static int frameIndex(SpriteKind kind, double t);
    /// The instant the kind next flips frames after t: (⌊t·rate⌋ + 1) / rate, shared by every sprite of the kind.
    static double nextFrameBoundary(SpriteKind kind, double t);
    /// Seconds since 2001-01-01 00:00:00 UTC, the clock every sprite animates against.
    static double secondsSinceReference(const QDateTime& time);
};
