#include "support/FileIO.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

FileIO::ReadResult FileIO::read(const QString& path) {
    QFile file(path);
    if (!file.exists())
        return {ReadStatus::missing, {}};
    if (!file.open(QIODevice::ReadOnly))
        return {ReadStatus::unreadable, {}};
    QByteArray data = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return {ReadStatus::unreadable, {}};
    return {ReadStatus::ok, data};
}

bool FileIO::writeAtomically(const QString& path, const QByteArray& data, QString* error) {
    const QString folder = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(folder)) {
        if (error != nullptr)
            *error = QStringLiteral("cannot create folder ") + folder;
        return false;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size() || !file.commit()) {
        if (error != nullptr)
            *error = file.errorString();
        file.cancelWriting();
        return false;
    }
    return true;
}

QString FileIO::moveAside(const QString& path, const QDateTime& now) {
    if (!QFileInfo::exists(path))
        return {};
    const QString stamp = now.toUTC().toString(QStringLiteral("yyyyMMdd'T'HHmmss'Z'"));
    QString target = path + QStringLiteral(".corrupt-") + stamp;
    for (int n = 2; QFileInfo::exists(target); ++n)
        target = path + QStringLiteral(".corrupt-") + stamp + QLatin1Char('-') + QString::number(n);
    return QFile::rename(path, target) ? target : QString();
}
