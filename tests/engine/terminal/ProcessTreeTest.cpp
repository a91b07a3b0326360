#include "terminal/TerminalJump.h"
#include "TempHome.h"
#include "terminal/ProcessTree.h"

#include <QFile>
#include <QProcess>
#include <gtest/gtest.h>
#include <unistd.h>

// No terminal facts, or a pane and terminals that are not there (WezTerm and kitty are not installed here): the
// window raiser is still asked for the agent's ancestors, and the person is told. A selected tmux pane nobody sees is
// the session notifier's test; raising a real window, the Xvfb test's.
TEST(TerminalJump, SaysSoWhenNothingCanBeBroughtForward) {
    TempHome home;
    std::vector<pid_t> asked;
    const TerminalJump jump([&](const std::vector<pid_t>& lineage) {
        asked.push_back(lineage.front());
        return false;
    });
    Vorlix::TerminalContext gone;
    gone.tmuxPane.emplace("%999");
    gone.tmuxSocket = std::string(home.path()).append("/tmux.sock");
    gone.weztermPane.emplace("3");
    gone.kittyWindowID.emplace("1");
    gone.kittyListenOn = std::string("unix:").append(home.path()).append("/kitty.sock");
    gone.ppid = getpid();
    for (const auto& context : {std::optional<Vorlix::TerminalContext>{}, std::optional(gone)})
        EXPECT_EQ(jump.go(context).message, "Can't bring this terminal forward here");
    EXPECT_EQ(asked, std::vector<pid_t>{getpid()});
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
