#include "worktrees/WorktreeScanner.h"

#include "support/Log.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStringDecoder>
#include <algorithm>
#include <csignal>
#include <unistd.h>

WorktreeScanner::WorktreeScanner(std::chrono::milliseconds gitTimeout, QObject* parent)
    : QObject(parent), m_gitTimeout(gitTimeout) {}

void WorktreeScanner::scan(const QList<Session*>& sessions) {
    QStringList commonDirs;
    QStringList askedDirs;
    for (const Session* session : sessions) {
        if (session == nullptr)
            continue;
        const QString& cwd = session->cwd();
        // "~" or a relative path would be read against the application's own folder.
        if (!QDir::isAbsolutePath(cwd) || askedDirs.contains(cwd))
            continue;
        askedDirs.append(cwd);
        std::optional<QString> out =
            run({QStringLiteral("git"), QStringLiteral("-C"), cwd, QStringLiteral("rev-parse"),
                 QStringLiteral("--path-format=absolute"), QStringLiteral("--git-common-dir")});
        if (!out)
            continue;
        // Only the line end: a folder name may itself end in a space.
        while (out->endsWith(QLatin1Char('\n')) || out->endsWith(QLatin1Char('\r')))
            out->chop(1);
        if (!out->isEmpty() && !commonDirs.contains(*out))
            commonDirs.append(*out);
    }

    QList<Worktree> all;
    for (const QString& dir : commonDirs)
        all.append(list(dir));
    markActive(all, sessions);
    order(all);
    setWorktrees(all);
}

void WorktreeScanner::markActive(QList<Worktree>& worktrees, const QList<Session*>& sessions) {
    for (const Session* session : sessions) {
        if (session == nullptr || !QDir::isAbsolutePath(session->cwd()))
            continue;
        // Agents report the shell's path, symlinks and all; git prints resolved paths.
        QStringList forms{session->cwd()};
        const QString resolved = QFileInfo(session->cwd()).canonicalFilePath();
        if (!resolved.isEmpty() && resolved != session->cwd())
            forms.append(resolved);

        Worktree* home = nullptr;
        for (Worktree& worktree : worktrees) {
            const bool inside = std::any_of(forms.cbegin(), forms.cend(),
                                            [&worktree](const QString& cwd) { return worktree.contains(cwd); });
            if (inside &&
                (home == nullptr || QDir::cleanPath(worktree.path).size() > QDir::cleanPath(home->path).size()))
                home = &worktree;
        }
        if (home == nullptr || home->activeAgent)
            continue;
        home->activeAgent = QString::fromUtf8(Vorlix::displayName(session->source()));
        home->lastSeen = session->lastSeen();
    }
}

void WorktreeScanner::order(QList<Worktree>& worktrees) {
    std::stable_sort(worktrees.begin(), worktrees.end(), [](const Worktree& a, const Worktree& b) {
        if (a.activeAgent.has_value() != b.activeAgent.has_value())
            return a.activeAgent.has_value();
        if (a.lastSeen.has_value() != b.lastSeen.has_value())
            return a.lastSeen.has_value();
        return a.lastSeen.has_value() && *a.lastSeen > *b.lastSeen;
    });
}

std::optional<QString> WorktreeScanner::run(const QStringList& arguments) const {
    QProcess process;
    process.setProgram(QStringLiteral("/usr/bin/env"));
    process.setArguments(arguments);
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    // Its own process group, so a time-out also ends whatever git started.
    process.setChildProcessModifier([] { ::setpgid(0, 0); });

    const QDeadlineTimer deadline(m_gitTimeout);
    process.start();
    if (!process.waitForStarted(static_cast<int>(std::max<qint64>(deadline.remainingTime(), 0))))
        return std::nullopt;
    if (!process.waitForFinished(static_cast<int>(std::max<qint64>(deadline.remainingTime(), 0)))) {
        if (process.state() == QProcess::NotRunning)
            return std::nullopt;
        ::kill(-static_cast<pid_t>(process.processId()), SIGKILL);
        process.kill();
        process.waitForFinished(1000);
        Log::line(QStringLiteral("Vorlix Agents: git gave no answer within %1 ms: %2")
                      .arg(m_gitTimeout.count())
                      .arg(arguments.join(QLatin1Char(' '))));
        return std::nullopt;
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return std::nullopt;

    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder.decode(process.readAllStandardOutput());
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

QList<Worktree> WorktreeScanner::list(const QString& commonGitDir) const {
    const QString repoDir = QFileInfo(QDir::cleanPath(commonGitDir)).path();
    const std::optional<QString> out =
        run({QStringLiteral("git"), QStringLiteral("-C"), repoDir, QStringLiteral("worktree"), QStringLiteral("list"),
             QStringLiteral("--porcelain")});
    if (!out)
        return {};
    return Worktree::fromPorcelain(*out, Worktree::repoName(commonGitDir));
}

void WorktreeScanner::setWorktrees(const QList<Worktree>& worktrees) {
    if (m_worktrees == worktrees)
        return;
    m_worktrees = worktrees;
    emit worktreesChanged();
}
