#include "worktrees/Worktree.h"

#include <QDir>
#include <QFileInfo>

QList<Worktree> Worktree::fromPorcelain(const QString& output, const QString& repo) {
    static const QString worktreeTag = QStringLiteral("worktree ");
    static const QString branchTag = QStringLiteral("branch ");
    static const QString headsPrefix = QStringLiteral("refs/heads/");

    QList<Worktree> list;
    std::optional<QString> pending;
    for (const QString& line : output.split(QLatin1Char('\n'))) {
        if (line.startsWith(worktreeTag)) {
            pending = line.mid(worktreeTag.size());
        } else if (line.startsWith(branchTag)) {
            QString branch = line.mid(branchTag.size());
            // Only the leading prefix: a branch may itself be named ".../refs/heads/...".
            if (branch.startsWith(headsPrefix))
                branch.remove(0, headsPrefix.size());
            if (pending) {
                list.append({*pending, branch, repo, std::nullopt, std::nullopt});
                pending.reset();
            }
        } else if (line.startsWith(QLatin1String("detached"))) {
            if (pending) {
                list.append({*pending, QString::fromLatin1(detachedBranch), repo, std::nullopt, std::nullopt});
                pending.reset();
            }
        }
    }
    return list;
}

QString Worktree::repoName(const QString& commonGitDir) {
    return QFileInfo(QFileInfo(QDir::cleanPath(commonGitDir)).path()).fileName();
}

bool Worktree::contains(const QString& cwd) const {
    if (path.isEmpty() || cwd.isEmpty())
        return false;
    const QString root = QDir::cleanPath(path);
    const QString dir = QDir::cleanPath(cwd);
    if (root == QLatin1String("/"))
        return dir.startsWith(QLatin1Char('/'));
    return dir == root || (dir.startsWith(root) && dir.at(root.size()) == QLatin1Char('/'));
}
