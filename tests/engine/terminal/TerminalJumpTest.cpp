#include "terminal/TerminalJump.h"
#include "EventLoop.h"
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

// A real tmux server: the pane's window and pane become current, and the client used last is moved to its session;
// the window raiser is then asked for the client's process before the agent's (whose ancestors end at the server).
TEST(TerminalJump, BringsATmuxPaneForwardInItsClient) {
    TempHome home;
    TmuxServer tmux(QString::fromStdString(home.path()) + QStringLiteral("/tmux.sock"));
    const QString target = tmux.newSession(QStringLiteral("a"));
    const QString sibling = tmux.add(target, true);
    const QString later = tmux.add(QStringLiteral("a"));
    tmux.newSession(QStringLiteral("b"));
    const auto current = [&] { return tmux.format(QStringLiteral("a"), QStringLiteral("#{pane_id}")); };
    ASSERT_EQ(current(), later);

    std::vector<pid_t> asked;
    const TerminalJump jump([&](const std::vector<pid_t>& lineage) {
        asked.push_back(lineage.front());
        return false;
    });
    // No client: the pane is current in its session, but nobody sees it.
    const auto unseen = jump.go(inTmux(tmux, target));
    EXPECT_FALSE(unseen.ok);
    EXPECT_EQ(unseen.message, "Can't bring this terminal forward here");
    EXPECT_EQ(current(), target);
    EXPECT_EQ(asked, std::vector<pid_t>{inTmux(tmux, target).ppid});

    tmux.run(QStringLiteral("select-window -t ") + later);
    QProcess client;
    auto environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("TERM"), QStringLiteral("xterm"));
    client.setProcessEnvironment(environment);
    client.start(QStringLiteral("script"),
                 {QStringLiteral("-qfec"), tmux.attach(QStringLiteral("b")).join(u' '), QStringLiteral("/dev/null")});
    ASSERT_TRUE(waitUntil([&] { return tmux.clients(QStringLiteral("#{session_name}")) == QStringList{"b"}; }));
    const pid_t clientPid = tmux.clients(QStringLiteral("#{client_pid}")).value(0).toInt();

    asked.clear();
    const auto jumped = jump.go(inTmux(tmux, target));
    EXPECT_TRUE(jumped.ok);
    EXPECT_TRUE(jumped.message.isEmpty());
    EXPECT_EQ(tmux.clients(QStringLiteral("#{session_name}")), QStringList{"a"});
    EXPECT_EQ(current(), target);
    EXPECT_EQ(asked, (std::vector<pid_t>{clientPid, inTmux(tmux, target).ppid}));

    // A client already on the session stays there; only the pane changes.
    EXPECT_TRUE(jump.go(inTmux(tmux, sibling)).ok);
    EXPECT_EQ(tmux.clients(QStringLiteral("#{session_name}")), QStringList{"a"});
    EXPECT_EQ(current(), sibling);

    // No terminal facts, or a pane and terminals that are not there (WezTerm and kitty are not installed here).
    Vorlix::TerminalContext gone = inTmux(tmux, QStringLiteral("%999"));
    gone.weztermPane = "3";
    gone.kittyWindowID = "1";
    gone.kittyListenOn = "unix:" + home.path() + "/kitty.sock";
    gone.ppid = getpid();
    for (const auto& context : {std::optional<Vorlix::TerminalContext>{}, std::optional(gone)})
        EXPECT_EQ(jump.go(context).message, TerminalJump::cantBringForward());
    EXPECT_EQ(asked.back(), getpid());
    client.kill();
    client.waitForFinished();
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
