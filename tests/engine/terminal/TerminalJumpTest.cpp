#include "terminal/TerminalJump.h"
#include "TempHome.h"
#include "TmuxServer.h"
#include "terminal/ProcessTree.h"

#include <QFile>
#include <QProcess>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {
Vorlix::TerminalContext inTmux(const TmuxServer& tmux, const QString& pane) {
    Vorlix::TerminalContext context;
    context.tmuxPane = pane.toStdString();
    context.tmuxSocket = tmux.socket().toStdString();
    context.ppid = tmux.format(pane, QStringLiteral("#{pane_pid}")).toInt();
    return context;
}
} // namespace

// A real tmux server without a client: the pane's window and pane become current, but nobody sees them, so the
// window raiser is asked for the agent's ancestors (which end at the server) and the person is told.
TEST(TerminalJump, SelectsTheTmuxPaneAndSaysSoWhenNothingShowsIt) {
    TempHome home;
    TmuxServer tmux(QString::fromStdString(home.path()) + QStringLiteral("/tmux.sock"));
    const QString target = tmux.newSession(QStringLiteral("a"));
    tmux.add(target, true); // the target is no longer its window's current pane
    const QString later = tmux.add(QStringLiteral("a"));
    ASSERT_EQ(tmux.format(QStringLiteral("a"), QStringLiteral("#{pane_id}")), later);

    std::vector<pid_t> asked;
    const TerminalJump jump([&](const std::vector<pid_t>& lineage) {
        asked.push_back(lineage.front());
        return false;
    });
    const auto unseen = jump.go(inTmux(tmux, target));
    EXPECT_FALSE(unseen.ok);
    EXPECT_EQ(unseen.message, "Can't bring this terminal forward here");
    EXPECT_EQ(tmux.format(QStringLiteral("a"), QStringLiteral("#{pane_id}")), target);
    EXPECT_EQ(asked, std::vector<pid_t>{inTmux(tmux, target).ppid});

    // No terminal facts, or a pane and terminals that are not there (WezTerm and kitty are not installed here).
    Vorlix::TerminalContext gone = inTmux(tmux, QStringLiteral("%999"));
    gone.weztermPane = "3";
    gone.kittyWindowID = "1";
    gone.kittyListenOn = "unix:" + home.path() + "/kitty.sock";
    gone.ppid = getpid();
    for (const auto& context : {std::optional<Vorlix::TerminalContext>{}, std::optional(gone)})
        EXPECT_EQ(jump.go(context).message, TerminalJump::cantBringForward());
    EXPECT_EQ(asked.back(), getpid());
}

// Parents come from /proc/<pid>/stat, whose process name may hold blanks and parentheses.
TEST(ProcessTree, ReadsParentsPastAwkwardProcessNames) {
    TempHome home;
    const QString odd = QString::fromStdString(home.path()) + QStringLiteral("/a) b (c");
    ASSERT_TRUE(QFile::copy(QStringLiteral("/bin/sleep"), odd));
    QProcess child;
    child.start(odd, {QStringLiteral("30")});
    ASSERT_TRUE(child.waitForStarted());
    const auto pid = static_cast<pid_t>(child.processId());
    auto expected = ProcessTree::lineage(getpid());
    expected.insert(expected.begin(), pid);
    EXPECT_EQ(ProcessTree::lineage(pid), expected);
    child.kill();
    child.waitForFinished();
    EXPECT_FALSE(ProcessTree::parentOf(pid));
}
