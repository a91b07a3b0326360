#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

/// File primitives shared by every store: a read that cannot hang or swallow memory, whole-file atomic writes,
/// corrupt files kept aside, and folders only we can enter.
class FileIO final {
public:
    /// Larger files are not ours: reading them is refused rather than eating memory.
    static constexpr qint64 maxReadBytes = qint64(64) << 20;

    enum class ReadStatus { ok, missing, unreadable };
    struct ReadResult {
        ReadStatus status = ReadStatus::missing;
        QByteArray data;
        /// Why an existing file could not be read, in words.
        QString error;
    };
    /// Who may read what we create: `shared` leaves new files and folders to the umask, `owner` makes them
    /// 0600 and 0700 whatever the umask. Existing files and folders keep their mode either way.
    enum class Access { shared, owner };

    /// Reads a regular file whole, opened without blocking; a FIFO, a device, a folder or anything over
    /// maxBytes is unreadable. A dangling symlink is unreadable, not missing.
    static ReadResult read(const QString& path, qint64 maxBytes = maxReadBytes);
    /// Creates the folder, writes through QSaveFile (keeps the mode, follows symlinks) and commits.
    /// On failure returns false and puts the reason in *error when given.
    static bool writeAtomically(const QString& path, const QByteArray& data, QString* error = nullptr,
                                Access access = Access::shared);
    /// Renames a file that exists but could not be used to "<path>.corrupt-<UTC stamp>", so a later save
    /// never overwrites it. Returns the new path, or an empty string when nothing was moved.
    static QString moveAside(const QString& path, const QDateTime& now);
    /// Creates the folder and its missing parents as 0700, and takes group and other access away from the
    /// folder itself when it already exists. Fails when it is not a folder or belongs to someone else.
    static bool makePrivateDir(const QString& path, QString* error = nullptr);
    /// strerror's words for an errno value.
    static QString errorText(int err);
};
