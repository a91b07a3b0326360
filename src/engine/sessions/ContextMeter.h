#pragma once

#include "sessions/ContextUsage.h"

#include <QByteArray>
#include <QString>
#include <optional>

/// Reads how many tokens a session's latest model call used, from the tail of its JSON Lines transcript, and the
/// context window it is measured against.
class ContextMeter final {
public:
    /// Only this much of the end of a transcript is read, however long the file.
    static constexpr qint64 tailBytes = 512 * 1024;

    /// The latest usage line with a count above zero: Claude's "message.usage" (measured against `window`) or
    /// Codex's "token_count" event (against the window it names, else `window`). Nothing when the file is
    /// missing, not a regular file, unreadable, not UTF-8 or holds no such line.
    static std::optional<ContextUsage> read(const QString& transcript, qint64 window);

    /// The same search over bytes already read. `cut` says the bytes start somewhere inside the file, so up to
    /// three leading bytes of a character whose start was cut off are skipped.
    static std::optional<ContextUsage> latestUsage(QByteArray tail, bool cut, qint64 window);
};
