#pragma once

#include "sessions/Session.h"
#include "worktrees/Worktree.h"

#include <QList>
#include <QObject>
#include <QStringList>
#include <chrono>
#include <optional>

/// Finds the git worktrees of the repositories the live sessions work in, and which agent is in which.
/// Runs git synchronously on the calling (main) thread, each call bounded in time.
class WorktreeScanner final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(WorktreeScanner)
    Q_PROPERTY(QList<Worktree> worktrees READ worktrees NOTIFY worktreesChanged)

public:
    static constexpr std::chrono::milliseconds defaultGitTimeout{5000};

    /// A git call running longer than gitTimeout is killed and counts as failed.
    explicit WorktreeScanner(std::chrono::milliseconds gitTimeout = defaultGitTimeout, QObject* parent = nullptr);

    const QList<Worktree>& worktrees() const { return m_worktrees; }

    /// Replaces worktrees with a fresh list for these sessions: active ones first, most recently seen first.
    void scan(const QList<Session*>& sessions);

    /// Marks each worktree with the first session, in list order, working in it. A session counts for the
    /// innermost worktree holding its directory (worktrees may nest), its symlinks resolved or not.
    static void markActive(QList<Worktree>& worktrees, const QList<Session*>& sessions);
    /// Stable: active before inactive, later lastSeen first; inactive ones keep their order.
    static void order(QList<Worktree>& worktrees);

signals:
    void worktreesChanged();

private:
    /// Standard output of `/usr/bin/env <arguments>`; absent when it could not start, failed, timed out or
    /// printed something that is not UTF-8.
    std::optional<QString> run(const QStringList& arguments) const;
    QList<Worktree> list(const QString& commonGitDir) const;
    void setWorktrees(const QList<Worktree>& worktrees);

    const std::chrono::milliseconds m_gitTimeout;
    QList<Worktree> m_worktrees;
};
