#pragma once

#include <array>

/// The short sounds the application plays, in render order. The engine says when; the desktop plays them.
enum class Cue { launch, needsApproval, approved, denied, done };

inline constexpr std::array<Cue, 5> allCues{Cue::launch, Cue::needsApproval, Cue::approved, Cue::denied, Cue::done};
