#pragma once

#include <array>

/// The sound engine's six cues, in render order.
enum class Cue { launch, needsApproval, approved, denied, done, coin };

inline constexpr std::array<Cue, 6> allCues{Cue::launch, Cue::needsApproval, Cue::approved,
                                            Cue::denied, Cue::done,          Cue::coin};
