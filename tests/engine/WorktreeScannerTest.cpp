#include "WorktreeScanner.h"
#include "EventLoop.h"
#include "Log.h"
#include "TempHome.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTimeZone>
#include <gtest/gtest.h>
#include <memory>

using namespace std::chrono_literals;

namespace {

const QDateTime t0 = QDateTime::fromSecsSinceEpoch(1'700'000'000, QTimeZone::utc());

// Puts a folder of our own in front of PATH, or replaces PATH with it, for one test.
class ScopedPath {
public:
    ScopedPath(const QString& folder, bool keepRest) : m_old(qgetenv("PATH")) {
        qputenv("PATH", keepRest ? folder.toUtf8() + ':' + m_old : folder.toUtf8());
    }
    ~ScopedPath() { qputenv("PATH", m_old); }

private:
    QByteArray m_old;
};

class WorktreeScannerTest : public testing::Test {
protected:
    static void git(const QString& dir, const QStringList& arguments) {
        QProcess process;
        process.setWorkingDirectory(dir);
        process.start(QStringLiteral("git"),
                      QStringList{"-c", "user.name=t", "-c", "user.email=t@example.com"} + arguments);
        ASSERT_TRUE(process.waitForFinished(30000) && process.exitCode() == 0)
            << arguments.join(' ').toStdString() << process.readAllStandardError().toStdString();
    }

    // A repository with one empty commit on "main".
    QString repo(const QString& name) {
        const QString path = root + '/' + name;
        QDir().mkpath(path);
        git(path, {"init", "-q", "-b", "main"});
        git(path, {"commit", "-q", "--allow-empty", "-m", "start"});
        return path;
    }

    QString worktree(const QString& repoPath, const QString& path, const QString& branch) {
        git(repoPath, branch.isEmpty() ? QStringList{"worktree", "add", "-q", "--detach", path}
                                       : QStringList{"worktree", "add", "-q", "-b", branch, path});
        return path;
    }

    Session* session(Vorlix::Source source, const QString& cwd, QDateTime lastSeen = t0) {
        auto* s = new Session(QString::number(m_sessions.size()), source, cwd, lastSeen);
        m_sessions.emplace_back(s);
        sessions.append(s);
        return s;
    }

    // A stand-in for git in a folder of its own: `body` runs before handing over to the real git.
    QString fakeGit(const QByteArray& body) {
        const QString folder = root + "/fake-bin";
        QDir().mkpath(folder);
        QFile script(folder + "/git");
        EXPECT_TRUE(script.open(QIODevice::WriteOnly));
        script.write("#!/bin/sh\n" + body + "\nexec " + realGit.toUtf8() + " \"$@\"\n");
        script.setPermissions(script.permissions() | QFileDevice::ExeOwner);
        return folder;
    }

    QList<Worktree> scan(std::chrono::milliseconds timeout = WorktreeScanner::defaultGitTimeout) {
        WorktreeScanner scanner(timeout);
        scanner.scan(sessions);
        return scanner.worktrees();
    }

    TempHome home;
    const QString root = QString::fromStdString(home.path());
    const QString realGit = QStandardPaths::findExecutable("git");
    QList<Session*> sessions;

private:
    std::vector<std::unique_ptr<Session>> m_sessions;
};

TEST_F(WorktreeScannerTest, TwoWorktreesOfOneRepositoryAreListedOnceWithTheirOwnAgents) {
    const QString app = repo("app");
    const QString feature = worktree(app, root + "/app-feature", "feature");
    const QString idle = worktree(app, root + "/app-idle", "idle");
    session(Vorlix::Source::claude, feature, t0);
    session(Vorlix::Source::codex, app, t0.addSecs(10));
    const ScopedPath path(fakeGit("echo \"$*\" >> \"$HOME/git.log\""), true);

    const QList<Worktree> expected{
        {app, "main", "app", "Codex", t0.addSecs(10)},
        {feature, "feature", "app", "Claude Code", t0},
        {idle, "idle", "app", std::nullopt, std::nullopt},
    };
    EXPECT_EQ(scan(), expected);
    QFile log(root + "/git.log");
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    EXPECT_EQ(log.readAll().count("worktree list --porcelain"), 1);
}

TEST_F(WorktreeScannerTest, ASessionCountsForTheInnermostWorktreeHoldingItsFolder) {
    const QString app = repo("app");
    const QString app2 = worktree(app, root + "/app-2", "two");
    const QString nested = worktree(app, app + "/.worktrees/task", "task");
    QDir().mkpath(app2 + "/src/deep");
    QFile::link(app2, root + "/link");
    session(Vorlix::Source::grok, root + "/link/src/deep", t0.addSecs(5)); // in app-2, through a symlink
    session(Vorlix::Source::kiro, nested, t0);
    session(Vorlix::Source::claude, app2, t0.addSecs(9)); // app-2 already has its agent

    const QList<Worktree> expected{
        {app2, "two", "app", "Grok Build", t0.addSecs(5)},
        {nested, "task", "app", "Kiro CLI", t0},
        {app, "main", "app", std::nullopt, std::nullopt},
    };
    EXPECT_EQ(scan(), expected);
}

TEST_F(WorktreeScannerTest, DetachedWorktreeAndPathsWithSpacesAndQuotes) {
    const QString odd = repo(R"(my "quoted" repo's dir)");
    const QString detached = worktree(odd, root + R"(/it's "detached" here)", {});
    session(Vorlix::Source::claude, detached);

    const QList<Worktree> expected{
        {detached, "(detached)", R"(my "quoted" repo's dir)", "Claude Code", t0},
        {odd, "main", R"(my "quoted" repo's dir)", std::nullopt, std::nullopt},
    };
    EXPECT_EQ(scan(), expected);
}

TEST_F(WorktreeScannerTest, FoldersOutsideRepositoriesAndMissingGitGiveNothing) {
    const QString app = repo("app");
    QDir().mkpath(root + "/plain");
    session(Vorlix::Source::claude, root + "/plain");
    session(Vorlix::Source::codex, "~");
    session(Vorlix::Source::kiro, root + "/gone");
    EXPECT_TRUE(scan().isEmpty());

    session(Vorlix::Source::grok, app);
    EXPECT_EQ(scan().size(), 1);

    QDir().mkpath(root + "/empty-bin");
    const ScopedPath noGit(root + "/empty-bin", false);
    EXPECT_TRUE(scan().isEmpty());
}

TEST_F(WorktreeScannerTest, AHungGitIsKilledWithEverythingItStarted) {
    const QString app = repo("app");
    session(Vorlix::Source::claude, app);
    const ScopedPath path(fakeGit("sleep 30 &\necho $! > \"$HOME/sleeper.pid\"\nwait"), true);
    QStringList logged;
    Log::setSink([&logged](const QString& line) { logged.append(line); });

    EXPECT_TRUE(scan(1s).isEmpty()); // the real git would have answered after the sleep
    Log::setSink({});

    ASSERT_EQ(logged.size(), 1);
    EXPECT_TRUE(logged.first().contains("no answer within 1000 ms")) << logged.first().toStdString();
    QFile pidFile(root + "/sleeper.pid");
    ASSERT_TRUE(pidFile.open(QIODevice::ReadOnly));
    // A kill lands asynchronously: wait for the sleeper to be gone, or a zombie its new parent never reaps.
    const QString stat = "/proc/" + pidFile.readAll().trimmed() + "/stat";
    EXPECT_TRUE(waitUntil([&stat] {
        QFile file(stat);
        return !file.open(QIODevice::ReadOnly) || file.readAll().contains(") Z ");
    })) << "the sleeper outlived the time-out";
}

TEST_F(WorktreeScannerTest, ListIsPublishedOnlyWhenItChanges) {
    const QString app = repo("app");
    session(Vorlix::Source::claude, app);
    WorktreeScanner scanner;
    int changes = 0;
    QObject::connect(&scanner, &WorktreeScanner::worktreesChanged, [&changes] { ++changes; });
    scanner.scan(sessions);
    scanner.scan(sessions);
    EXPECT_EQ(changes, 1);
    scanner.scan({});
    EXPECT_EQ(changes, 2);
    EXPECT_TRUE(scanner.worktrees().isEmpty());
}

TEST(WorktreePorcelain, WalksGitsLinesWithOnePendingPath) {
    const QString output = "worktree /r\nHEAD 1\nbranch refs/heads/main\n\n"
                           "worktree /bare\nbare\n\n"
                           "worktree /lost\nworktree /r/locked\nHEAD 2\nbranch refs/heads/x/refs/heads/y\nlocked\n\n"
                           "branch refs/heads/orphan\n"
                           "worktree /d\nHEAD 3\ndetached\nprunable gitdir file points to non-existent location\n"
                           "worktree /no-end";
    const QList<Worktree> expected{
        {"/r", "main", "r", std::nullopt, std::nullopt},
        {"/r/locked", "x/refs/heads/y", "r", std::nullopt, std::nullopt},
        {"/d", "(detached)", "r", std::nullopt, std::nullopt},
    };
    EXPECT_EQ(Worktree::fromPorcelain(output, "r"), expected);
    EXPECT_TRUE(Worktree::fromPorcelain("", "r").isEmpty());
    EXPECT_EQ(Worktree::repoName("/src/app/.git"), "app");
    EXPECT_EQ(Worktree::repoName("/srv/app.git/"), "srv");
}

TEST(WorktreePorcelain, ContainsTakesWholePathComponents) {
    const struct {
        const char* path;
        const char* cwd;
        bool inside;
    } cases[] = {
        {"/src/app", "/src/app", true},      {"/src/app", "/src/app/", true}, {"/src/app", "/src/app/lib/x", true},
        {"/src/app", "/src/app-2", false},   {"/src/app", "/src/ap", false},  {"/src/app/", "/src/app/lib", true},
        {"/src/app", "/src/x/../app", true}, {"/", "/anything", true},        {"/src/app", "", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ((Worktree{c.path, "main", "app", {}, {}}.contains(c.cwd)), c.inside) << c.path << " " << c.cwd;
}

TEST(WorktreeOrder, ActiveFirstMostRecentFirstInactiveInGitsOrder) {
    const auto w = [](const char* path, std::optional<int> seen) {
        return Worktree{path, "b", "r", seen ? std::optional<QString>("Codex") : std::nullopt,
                        seen ? std::optional<QDateTime>(t0.addSecs(*seen)) : std::nullopt};
    };
    QList<Worktree> list{w("/a", {}), w("/b", 1), w("/c", {}), w("/d", 3), w("/e", 1), w("/f", {})};
    WorktreeScanner::order(list);
    QStringList paths;
    for (const Worktree& worktree : list)
        paths.append(worktree.path);
    EXPECT_EQ(paths, QStringList({"/d", "/b", "/e", "/a", "/c", "/f"}));
}

} // namespace
