#include "worktrees/WorktreeScanner.h"

#include "support/Log.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStringDecoder>
#include <QtConcurrent/QtConcurrentRun>
#include <algorithm>
#include <csignal>
#include <unistd.h>

WorktreeScanner::WorktreeScanner(std::chrono::milliseconds gitTimeout, QObject* parent)
    : QObject(parent), m_gitTimeout(gitTimeout) {
    connect(&m_watcher, &QFutureWatcher<QList<Worktree>>::finished, this, [this] {
        setWorktrees(m_watcher.result());
        m_running = false;
        emit runningChanged();
    });
}

WorktreeScanner::~WorktreeScanner() {
    m_watcher.waitForFinished();
}

void WorktreeScanner::scan(const QList<Session*>& sessions) {
    setWorktrees(find(WorktreeProbe::of(sessions), m_gitTimeout));
}

void WorktreeScanner::scanInBackground(const QList<Session*>& sessions) {
    if (m_running)
        return;
    m_running = true;
    m_watcher.setFuture(QtConcurrent::run(&WorktreeScanner::find, WorktreeProbe::of(sessions), m_gitTimeout));
    emit runningChanged();
}

QList<Worktree> WorktreeScanner::find(const QList<WorktreeProbe>& probes, std::chrono::milliseconds gitTimeout) {
    QStringList commonDirs;
    QStringList askedDirs;
    for (const WorktreeProbe& probe : probes) {
        const QString& cwd = probe.cwd;
        // "~" or a relative path would be read against the application's own folder.
        if (!QDir::isAbsolutePath(cwd) || askedDirs.contains(cwd))
            continue;
        askedDirs.append(cwd);
        std::optional<QString> out = run({QStringLiteral("git"), QStringLiteral("-C"), cwd, QStringLiteral("rev-parse"),
                                          QStringLiteral("--path-format=absolute"), QStringLiteral("--git-common-dir")},
                                         gitTimeout);
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
        all.append(list(dir, gitTimeout));
    markActive(all, probes);
    order(all);
    return all;
}

void WorktreeScanner::markActive(QList<Worktree>& worktrees, const QList<WorktreeProbe>& probes) {
    for (const WorktreeProbe& probe : probes) {
        if (!QDir::isAbsolutePath(probe.cwd))
            continue;
        // Agents report the shell's path, symlinks and all; git prints resolved paths.
        QStringList forms{probe.cwd};
        const QString resolved = QFileInfo(probe.cwd).canonicalFilePath();
        if (!resolved.isEmpty() && resolved != probe.cwd)
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
        home->activeAgent = QString::fromUtf8(Vorlix::displayName(probe.source));
        home->lastSeen = probe.lastSeen;
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

std::optional<QString> WorktreeScanner::run(const QStringList& arguments, std::chrono::milliseconds gitTimeout) {
    QProcess process;
    process.setProgram(QStringLiteral("/usr/bin/env"));
    process.setArguments(arguments);
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    // Its own process group, so a time-out also ends whatever git started.
    process.setChildProcessModifier([] { ::setpgid(0, 0); });

    const QDeadlineTimer deadline(gitTimeout);
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
                      .arg(gitTimeout.count())
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

QList<Worktree> WorktreeScanner::list(const QString& commonGitDir, std::chrono::milliseconds gitTimeout) {
    const QString repoDir = QFileInfo(QDir::cleanPath(commonGitDir)).path();
    const std::optional<QString> out =
        run({QStringLiteral("git"), QStringLiteral("-C"), repoDir, QStringLiteral("worktree"), QStringLiteral("list"),
             QStringLiteral("--porcelain")},
            gitTimeout);
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
