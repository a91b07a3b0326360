#pragma once

#include <QString>
#include <optional>

/// The plan a session asks the person to approve (ExitPlanMode): Claude writes it to a Markdown file named in the
/// transcript, not in the call's input.
class PlanFile final {
public:
    /// The most of a plan that is read and shown, in bytes.
    static constexpr qint64 maxBytes = 64 * 1024;
    /// Said after a plan cut at maxBytes.
    static constexpr const char* cutMarker = "\n\u2026 (plan cut at 64 KiB)";

    /// The plan of the session with this transcript, or nothing when none can be read.
    static std::optional<QString> forTranscript(const QString& transcript);
    /// The newest `planFilePath` of the transcript's plan-mode attachment lines; nothing without one.
    static std::optional<QString> pathIn(const QString& transcript);
    /// The file's text, cut at maxBytes (between characters) with the marker. Only a regular file is read: a FIFO
    /// or a device would block the main thread or never end.
    static std::optional<QString> read(const QString& path);
};
