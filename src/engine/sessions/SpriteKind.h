#pragma once

#include <array>
#include <optional>
#include <string_view>

/// What an agent is doing; the session state and the sprite's accessory.
enum class SpriteKind { idle, thinking, reading, writing, shell, needsApproval, question, planReview, done, error };

inline constexpr std::array<SpriteKind, 10> allSpriteKinds{
    SpriteKind::idle,          SpriteKind::thinking, SpriteKind::reading,    SpriteKind::writing, SpriteKind::shell,
    SpriteKind::needsApproval, SpriteKind::question, SpriteKind::planReview, SpriteKind::done,    SpriteKind::error};

std::string_view rawValue(SpriteKind kind);
/// Exact match of the raw value.
std::optional<SpriteKind> spriteKindFromRaw(std::string_view raw);
