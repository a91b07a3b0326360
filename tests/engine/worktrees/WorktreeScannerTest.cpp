#include "worktrees/WorktreeScanner.h"
#include "EventLoop.h"
#include "GitRepo.h"
#include "LogCapture.h"
#include "TempHome.h"
#include "TestFiles.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTimeZone>
#include <deque>
#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

const QDateTime t0 = QDateTime::fromSecsSinceEpoch(1'700'000'000, QTimeZone::utc());

struct WorktreeScannerTest : testing::Test {
    ~WorktreeScannerTest() override { qputenv("PATH", pathBefore); }
    // A repository with one empty commit on "main".
    QString repo(const QString& name) {
        EXPECT_TRUE(gitRepo(root + '/' + name));
        return root + '/' + name;
    }
    QString worktree(const QString& repoPath, const QString& path, const QString& branch) {
        EXPECT_TRUE(git(repoPath, {"worktree", "add", "-q", "-b", branch, path}));
        return path;
    }

    void session(Vorlix::Source source, const QString& cwd, QDateTime lastSeen = t0) {
        sessions.append(&ownedSessions.emplace_back(QString::number(ownedSessions.size()), source, cwd, lastSeen));
    }

    // Puts a stand-in for git in front of PATH: `body` runs before handing over to the real git.
    void fakeGit(const QByteArray& body) {
        const QString script = root + "/fake-bin/git";
        TestFiles::write(script, "#!/bin/sh\n" + body + "\nexec " + QStandardPaths::findExecutable("git").toUtf8() +
                                     " \"$@\"\n");
        QFile::setPermissions(script, QFile::permissions(script) | QFileDevice::ExeOwner);
        qputenv("PATH", QFile::encodeName(root) + "/fake-bin:" + pathBefore);
    }

    QList<Worktree> scan(std::chrono::milliseconds timeout = WorktreeScanner::defaultGitTimeout) {
        WorktreeScanner scanner(timeout);
        scanner.scan(sessions);
        return scanner.worktrees();
    }

    TempHome home;
    const QString root = QString::fromStdString(home.path());
    QList<Session*> sessions;
    const QByteArray pathBefore = qgetenv("PATH");
    std::deque<Session> ownedSessions;
};

TEST_F(WorktreeScannerTest, EachWorktreeListedOnceWithTheAgentOfItsInnermostSession) {
    const QString app = repo("app");
    const QString app2 = worktree(app, root + "/app-2", "two"); // shares a prefix with app's path
    const QString nested = worktree(app, app + "/.worktrees/task", "task");
    QDir().mkpath(app2 + "/src/deep");
    QFile::link(app2, root + "/link");
    QDir().mkpath(root + "/plain");
    session(Vorlix::Source::grok, root + "/link/src/deep", t0.addSecs(5)); // in app-2, through a symlink
    session(Vorlix::Source::kiro, nested, t0);
    session(Vorlix::Source::claude, app2, t0.addSecs(9)); // app-2 already has its agent
    for (const QString& outside : {root + "/plain", QStringLiteral("~"), root + "/gone"})
        session(Vorlix::Source::codex, outside, t0.addSecs(20));
    fakeGit("echo \"$*\" >> \"$HOME/git.log\"");

    WorktreeScanner scanner;
    int changes = 0;
    QObject::connect(&scanner, &WorktreeScanner::worktreesChanged, [&changes] { ++changes; });
    scanner.scan(sessions);
    scanner.scan(sessions);
    const QList<Worktree> expected{
        {app2, "two", "app", "Grok Build", t0.addSecs(5)},
        {nested, "task", "app", "Kiro CLI", t0},
        {app, "main", "app", std::nullopt, std::nullopt},
    };
    EXPECT_EQ(scanner.worktrees(), expected);
    EXPECT_EQ(changes, 1); // published only when the list changes
    // Once per repository and scan, however many of its worktrees hold sessions.
    EXPECT_EQ(TestFiles::read(root + "/git.log").count("worktree list --porcelain"), 2);

    QDir().mkpath(root + "/empty-bin");
    qputenv("PATH", QFile::encodeName(root) + "/empty-bin"); // no git at all
    EXPECT_TRUE(scan().isEmpty());
}

TEST_F(WorktreeScannerTest, AHungGitIsKilledWithEverythingItStarted) {
    const QString app = repo("app");
    session(Vorlix::Source::claude, app);
    fakeGit("sleep 30 &\necho $! > \"$HOME/sleeper.pid\"\nwait");
    LogCapture log;
    EXPECT_TRUE(scan(1s).isEmpty()); // the real git would have answered after the sleep
    ASSERT_EQ(log.lines.size(), 1);
    EXPECT_TRUE(log.lines.first().contains("no answer within 1000 ms")) << log.lines.first().toStdString();
    const QByteArray pid = TestFiles::read(root + "/sleeper.pid").trimmed();
    ASSERT_FALSE(pid.isEmpty());
    // A kill lands asynchronously: wait for the sleeper to be gone, or a zombie its new parent never reaps.
    const QString stat = "/proc/" + pid + "/stat";
    EXPECT_TRUE(waitUntil([&stat] {
        QFile file(stat);
        return !file.open(QIODevice::ReadOnly) || file.readAll().contains(") Z ");
    })) << "the sleeper outlived the time-out";
}

TEST(WorktreePorcelain, WalksGitsLinesAndMatchesWholePathComponents) {
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
    EXPECT_EQ(Worktree::repoName("/src/app/.git"), "app");
    EXPECT_EQ(Worktree::repoName("/srv/app.git/"), "srv");

    // Whole path components only: /src/app does not hold /src/app-2.
    const std::tuple<const char*, const char*, bool> cases[] = {
        {"/src/app", "/src/app/", true},     {"/src/app", "/src/app-2", false}, {"/src/app/", "/src/app/lib", true},
        {"/src/app", "/src/x/../app", true}, {"/", "/anything", true},          {"/src/app", "", false}};
    for (const auto& [path, cwd, inside] : cases)
        EXPECT_EQ((Worktree{path, "main", "app", {}, {}}.contains(cwd)), inside) << path << " " << cwd;
}

} // namespace
