#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <optional>

/// One git worktree of a repository an agent works in, and the agent working in it, if any.
struct Worktree {
    static constexpr const char* detachedBranch = "(detached)";

    QString path; // absolute, as git prints it; identity in lists
    QString branch;
    QString repo; // last path component of the folder that holds the common git directory
    std::optional<QString> activeAgent;
    std::optional<QDateTime> lastSeen;

    bool operator==(const Worktree&) const = default;

    /// The worktrees in the output of `git worktree list --porcelain`, in git's order. Bare entries, having
    /// neither a branch nor a detached HEAD, are left out; so is a path never followed by either.
    static QList<Worktree> fromPorcelain(const QString& output, const QString& repo);
    /// "/src/app/.git" gives "app".
    static QString repoName(const QString& commonGitDir);
    /// Whether a working directory lies in this worktree: the same folder or one below it, whole components only.
    bool contains(const QString& cwd) const;
};
