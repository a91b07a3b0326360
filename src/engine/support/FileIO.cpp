#include "support/FileIO.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace {

void setError(QString* error, const QString& text) {
    if (error != nullptr)
        *error = text;
}

// mkdir -p where each missing folder is made 0700: the umask can only take bits away.
bool makeOwnerDirs(const QByteArray& native) {
    for (qsizetype slash = native.indexOf('/', 1); slash != -1; slash = native.indexOf('/', slash + 1))
        ::mkdir(native.left(slash).constData(), 0700);
    return ::mkdir(native.constData(), 0700) == 0 || errno == EEXIST;
}

QByteArray nativeFolder(const QString& path) {
    return QFile::encodeName(QDir::cleanPath(QFileInfo(path).absoluteFilePath()));
}

FileIO::ReadResult unreadable(const QString& why) {
    return {FileIO::ReadStatus::unreadable, {}, why};
}

} // namespace

QString FileIO::errorText(int err) {
    return QString::fromStdString(std::system_category().message(err));
}

FileIO::ReadResult FileIO::read(const QString& path, qint64 maxBytes) {
    const QByteArray native = QFile::encodeName(path);
    struct stat info {};
    if (::stat(native.constData(), &info) != 0) {
        const int err = errno;
        struct stat link {};
        if ((err == ENOENT || err == ENOTDIR) && ::lstat(native.constData(), &link) != 0)
            return {};
        return unreadable(errorText(err));
    }
    // Checked before opening too: opening a device can have effects of its own.
    if (!S_ISREG(info.st_mode))
        return unreadable(QStringLiteral("not a regular file"));
    const int fd = ::open(native.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return unreadable(errorText(errno));
    ReadResult result{ReadStatus::ok, {}, {}};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        result = unreadable(QStringLiteral("not a regular file"));
    } else if (info.st_size > maxBytes) {
        result = unreadable(QStringLiteral("larger than %1 bytes").arg(maxBytes));
    } else {
        // One byte more than allowed tells a file that grew while we read it.
        result.data.resize(static_cast<qsizetype>(info.st_size) + 1);
        qsizetype filled = 0;
        for (;;) {
            if (filled == result.data.size()) {
                if (filled > maxBytes) {
                    result = unreadable(QStringLiteral("larger than %1 bytes").arg(maxBytes));
                    break;
                }
                result.data.resize(std::min<qsizetype>(result.data.size() * 2, maxBytes + 1));
            }
            const ssize_t n = ::read(fd, result.data.data() + filled, static_cast<size_t>(result.data.size() - filled));
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0) {
                result = unreadable(errorText(errno));
                break;
            }
            if (n == 0) {
                result.data.truncate(filled);
                break;
            }
            filled += n;
        }
    }
    ::close(fd);
    return result;
}

bool FileIO::writeAtomically(const QString& path, const QByteArray& data, QString* error, Access access) {
    const QString folder = QFileInfo(path).absolutePath();
    if (access == Access::owner ? !makeOwnerDirs(nativeFolder(folder)) : !QDir().mkpath(folder)) {
        setError(error, QStringLiteral("cannot create folder ") + folder);
        return false;
    }
    const bool isNew = !QFileInfo::exists(path);
    QSaveFile file(path);
    bool ok = file.open(QIODevice::WriteOnly);
    // QSaveFile gives a new file the umask's mode; ours must never be readable by others.
    if (ok && isNew && access == Access::owner)
        ok = file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    if (!ok || file.write(data) != data.size() || !file.commit()) {
        setError(error, file.errorString());
        file.cancelWriting();
        return false;
    }
    return true;
}

QString FileIO::moveAside(const QString& path, const QDateTime& now) {
    if (!QFileInfo::exists(path) && !QFileInfo(path).isSymLink())
        return {};
    const QString stamp = now.toUTC().toString(QStringLiteral("yyyyMMdd'T'HHmmss'Z'"));
    QString target = path + QStringLiteral(".corrupt-") + stamp;
    for (int n = 2; QFileInfo::exists(target) || QFileInfo(target).isSymLink(); ++n)
        target = path + QStringLiteral(".corrupt-") + stamp + QLatin1Char('-') + QString::number(n);
    return QFile::rename(path, target) ? target : QString();
}

bool FileIO::makePrivateDir(const QString& path, QString* error) {
    const QByteArray native = nativeFolder(path);
    if (!makeOwnerDirs(native)) {
        setError(error, QStringLiteral("cannot create %1: %2").arg(path, errorText(errno)));
        return false;
    }
    struct stat info {};
    if (::stat(native.constData(), &info) != 0) {
        setError(error, QStringLiteral("cannot create %1: %2").arg(path, errorText(errno)));
        return false;
    }
    if (!S_ISDIR(info.st_mode)) {
        setError(error, path + QStringLiteral(" is not a folder"));
        return false;
    }
    if (info.st_uid != ::geteuid()) {
        setError(error, path + QStringLiteral(" belongs to another user"));
        return false;
    }
    if ((info.st_mode & 077) != 0 && ::chmod(native.constData(), 0700) != 0) {
        setError(error, QStringLiteral("cannot make %1 private: %2").arg(path, errorText(errno)));
        return false;
    }
    return true;
}
