#pragma once

#include "sessions/Session.h"
#include "worktrees/Worktree.h"
#include "worktrees/WorktreeProbe.h"

#include <QFutureWatcher>
#include <QList>
#include <QObject>
#include <QStringList>
#include <chrono>
#include <optional>

/// Finds the git worktrees of the repositories the live sessions work in, and which agent is in which.
/// Each git call is bounded in time; `scanInBackground` keeps git, which can take seconds, off the main thread.
class WorktreeScanner final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(WorktreeScanner)
    Q_PROPERTY(QList<Worktree> worktrees READ worktrees NOTIFY worktreesChanged)
    Q_PROPERTY(bool running READ running NOTIFY runningChanged)

public:
    static constexpr std::chrono::milliseconds defaultGitTimeout{5000};

    /// A git call running longer than gitTimeout is killed and counts as failed.
    explicit WorktreeScanner(std::chrono::milliseconds gitTimeout = defaultGitTimeout, QObject* parent = nullptr);
    /// Waits for a background scan still running: its git calls are bounded by the time-out.
    ~WorktreeScanner() override;

    const QList<Worktree>& worktrees() const { return m_worktrees; }
    /// From the start of a background scan until its list is in place (not merely computed on the worker).
    bool running() const { return m_running; }

    /// Replaces worktrees with a fresh list for these sessions: active ones first, most recently seen first.
    void scan(const QList<Session*>& sessions);
    /// The same on a worker thread; worktrees changes when it ends. Does nothing while a scan runs.
    void scanInBackground(const QList<Session*>& sessions);

    /// The ordered list for these probes; runs git, touches nothing shared, so any thread may call it.
    static QList<Worktree> find(const QList<WorktreeProbe>& probes, std::chrono::milliseconds gitTimeout);
    /// Marks each worktree with the first probe, in list order, working in it. A session counts for the
    /// innermost worktree holding its directory (worktrees may nest), its symlinks resolved or not.
    static void markActive(QList<Worktree>& worktrees, const QList<WorktreeProbe>& probes);
    /// Stable: active before inactive, later lastSeen first; inactive ones keep their order.
    static void order(QList<Worktree>& worktrees);

signals:
    void worktreesChanged();
    void runningChanged();

private:
    /// Standard output of `/usr/bin/env <arguments>`; absent when it could not start, failed, timed out or
    /// printed something that is not UTF-8.
    static std::optional<QString> run(const QStringList& arguments, std::chrono::milliseconds gitTimeout);
    static QList<Worktree> list(const QString& commonGitDir, std::chrono::milliseconds gitTimeout);
    void setWorktrees(const QList<Worktree>& worktrees);

    const std::chrono::milliseconds m_gitTimeout;
    QList<Worktree> m_worktrees;
    QFutureWatcher<QList<Worktree>> m_watcher;
    bool m_running = false;
};
