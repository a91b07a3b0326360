#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <optional>

/// File helpers shared by every store: whole-file atomic writes, and corrupt files kept aside.
class FileIO final {
public:
    enum class ReadStatus { ok, missing, unreadable };
    struct ReadResult {
        ReadStatus status = ReadStatus::missing;
        QByteArray data;
    };

    static ReadResult read(const QString& path);
    /// Creates the folder, writes through QSaveFile (keeps mode, follows symlinks) and commits.
    /// On failure returns false and puts the reason in *error when given.
    static bool writeAtomically(const QString& path, const QByteArray& data, QString* error = nullptr);
    /// Renames a file that exists but could not be used to "<path>.corrupt-<UTC stamp>", so a later save
    /// never overwrites it. Returns the new path, or an empty string when nothing was moved.
    static QString moveAside(const QString& path, const QDateTime& now);
};
