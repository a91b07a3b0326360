#include "EventLoop.h"
#include "TempHome.h"
#include "TestFiles.h"
#include "TmuxServer.h"
#include "terminal/GoToTerminal.h"
#include "terminal/X11WindowActivator.h"

#include <QFile>
#include <QProcess>
#include <gtest/gtest.h>
#include <memory>
#include <unistd.h>

namespace {
std::unique_ptr<QProcess> start(const QStringList& command) {
    auto process = std::make_unique<QProcess>();
    process->start(command.front(), command.mid(1));
    EXPECT_TRUE(process->waitForStarted()) << command.join(u' ').toStdString();
    return process;
}

// A scalable font: Xvfb has no bitmap fonts for xterm's default.
QStringList xterm(const QStringList& command) {
    return QStringList{QStringLiteral("xterm"), QStringLiteral("-fa"), QStringLiteral("DejaVu Sans Mono"),
                       QStringLiteral("-e")} +
           command;
}

bool activeIs(const QProcess& process) {
    return waitUntil([&] { return X11WindowActivator::activeProcess() == process.processId(); });
}
} // namespace

// A real xterm under openbox: the window around the agent's process, and the one around the tmux client that is made
// to show the agent's pane, become the active window; a process without a window says so and changes nothing.
TEST(GoToTerminal, ActivatesTheTerminalWindowUnderARealWindowManager) {
    TempHome home;
    const QString dir = QString::fromStdString(home.path());
    // Windows mapped while openbox is still starting can stay unmanaged: wait for its start-up command.
    const QString ready = dir + QStringLiteral("/wm-ready");
    auto wm = start({QStringLiteral("openbox"), QStringLiteral("--sm-disable"), QStringLiteral("--startup"),
                     QStringLiteral("touch '%1'").arg(ready)});
    ASSERT_TRUE(waitUntil([&] { return QFile::exists(ready); }));
    const QString childFile = dir + QStringLiteral("/child");
    auto shell = start(xterm({QStringLiteral("sh"), QStringLiteral("-c"),
                              QStringLiteral("sleep 600 & echo $! > '%1'; wait").arg(childFile)}));
    ASSERT_TRUE(activeIs(*shell));
    ASSERT_TRUE(waitUntil([&] { return QFile(childFile).size() > 0; }));
    Vorlix::TerminalContext agent;
    agent.ppid = TestFiles::read(childFile).trimmed().toInt();

    // The agent's pane is in the first window of session a; the client shows session b.
    TmuxServer tmux(dir + QStringLiteral("/tmux.sock"));
    const QString pane = tmux.newSession(QStringLiteral("a"));
    const QString later = tmux.add(QStringLiteral("a"));
    tmux.newSession(QStringLiteral("b"));
    auto client = start(xterm(tmux.attach(QStringLiteral("b"))));
    ASSERT_TRUE(activeIs(*client));
    const auto shown = [&] { return tmux.clients(QStringLiteral("#{session_name}")); };
    ASSERT_TRUE(waitUntil([&] { return shown() == QStringList{"b"}; }));

    const auto toShell = GoToTerminal::go(agent);
    EXPECT_TRUE(toShell.ok) << toShell.message.toStdString();
    EXPECT_EQ(X11WindowActivator::activeProcess(), shell->processId());

    // The client is moved to the pane's session, its window raised; a client already there stays.
    for (const QString& target : {pane, later}) {
        Vorlix::TerminalContext inTmux;
        inTmux.tmuxPane = target.toStdString();
        inTmux.tmuxSocket = tmux.socket().toStdString();
        inTmux.ppid = tmux.format(target, QStringLiteral("#{pane_pid}")).toInt();
        const auto toTmux = GoToTerminal::go(inTmux);
        EXPECT_TRUE(toTmux.ok) << toTmux.message.toStdString();
        EXPECT_EQ(X11WindowActivator::activeProcess(), client->processId());
        EXPECT_EQ(shown(), QStringList{"a"});
        EXPECT_EQ(tmux.format(QStringLiteral("a"), QStringLiteral("#{pane_id}")), target);
        GoToTerminal::go(agent);
    }

    Vorlix::TerminalContext windowless;
    windowless.ppid = getpid();
    const auto nowhere = GoToTerminal::go(windowless);
    EXPECT_FALSE(nowhere.ok);
    EXPECT_EQ(nowhere.message, "Can't bring this terminal forward here");
    EXPECT_EQ(X11WindowActivator::activeProcess(), shell->processId());

    for (auto* process : {client.get(), shell.get(), wm.get()}) {
        process->kill();
        process->waitForFinished();
    }
}
