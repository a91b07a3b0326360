#pragma once

#include "Source.h"
#include "sessions/SpriteKind.h"

#include <array>
#include <string>

/// The creatures' bitmaps: one body per agent, one crown per activity, two frames each.
/// A bitmap is 16 rows of 16 characters: "#" lit, "+" and "·" dithered, anything else dark.
class Creature final {
public:
    using Bitmap = std::array<std::u16string, 16>;
    using Frames = std::array<Bitmap, 2>;

    static Frames body(Vorlix::Source agent);
    static Frames crown(SpriteKind kind);
    /// Body over crown: the body's character wins unless it is ".".
    static Frames frames(Vorlix::Source agent, SpriteKind kind);
};
