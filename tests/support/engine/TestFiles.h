#pragma once

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTcpServer>
#include <gtest/gtest.h>
#include <sys/stat.h>

/// File and port helpers shared by the engine tests.
namespace TestFiles {

inline void write(const QString& path, const QByteArray& data) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    ASSERT_EQ(file.write(data), data.size());
}

/// The file's bytes; empty when it cannot be read.
inline QByteArray read(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

/// Permission bits of what the path names (not following a final symlink); 0 when nothing is there.
inline unsigned mode(const QString& path) {
    struct stat info {};
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_mode & 07777 : 0;
}

/// The copies moved aside as "<file>.corrupt-…", as full paths.
inline QStringList aside(const QString& file) {
    const QFileInfo info(file);
    QStringList paths;
    for (const QString& name :
         info.dir().entryList({info.fileName() + QStringLiteral(".corrupt-*")}, QDir::AllEntries | QDir::System))
        paths << info.dir().filePath(name);
    return paths;
}

/// A TCP port nobody listens on right now.
inline quint16 freePort() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

/// Sets the process umask for one scope.
class Umask {
public:
    explicit Umask(mode_t mask) : m_old(::umask(mask)) {}
    ~Umask() { ::umask(m_old); }
    Umask(const Umask&) = delete;
    Umask& operator=(const Umask&) = delete;

private:
    mode_t m_old;
};

} // namespace TestFiles
