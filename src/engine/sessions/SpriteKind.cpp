#include "sessions/SpriteKind.h"

std::string_view rawValue(SpriteKind kind) {
    static constexpr std::string_view names[] = {"idle",          "thinking", "reading",    "writing", "shell",
                                                 "needsApproval", "question", "planReview", "done",    "error"};
    return names[static_cast<int>(kind)];
}

std::optional<SpriteKind> spriteKindFromRaw(std::string_view raw) {
    for (SpriteKind kind : allSpriteKinds) {
        if (rawValue(kind) == raw)
            return kind;
    }
    return std::nullopt;
}
