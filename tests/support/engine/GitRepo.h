#pragma once

#include <QDir>
#include <QProcess>
#include <QStringList>

/// Runs git in dir under a throwaway identity; true when it succeeded.
inline bool git(const QString& dir, const QStringList& arguments) {
    QProcess process;
    process.setWorkingDirectory(dir);
    process.start(QStringLiteral("git"),
                  QStringList{"-c", "user.name=t", "-c", "user.email=t@example.com", "-c", "init.defaultBranch=main"} +
                      arguments);
    return process.waitForFinished(30000) && process.exitCode() == 0;
}

/// A new repository at path with one empty commit on "main".
inline bool gitRepo(const QString& path) {
    return QDir().mkpath(path) && git(path, {"init", "-q"}) &&
           git(path, {"commit", "-q", "--allow-empty", "-m", "start"});
}
