// Click to terminal active: GoToTerminal::go, timed until the target window is the active one (and, for tmux, the
// pane the current one), under openbox on the X server of DISPLAY. `xdotool windowactivate --sync` between the
// same two windows, in the same run, is the floor: a separate program asking the window manager for the same thing.
#include "EventLoop.h"
#include "TmuxServer.h"
#include "terminal/GoToTerminal.h"
#include "terminal/X11WindowActivator.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

namespace {
constexpr int rounds = 20;
constexpr double limitMs = 300;

using Steady = std::chrono::steady_clock;

std::unique_ptr<QProcess> start(const QStringList& command) {
    auto process = std::make_unique<QProcess>();
    process->start(command.front(), command.mid(1));
    process->waitForStarted();
    return process;
}

QStringList xterm(const QStringList& command) {
    return QStringList{QStringLiteral("xterm"), QStringLiteral("-fa"), QStringLiteral("DejaVu Sans Mono"),
                       QStringLiteral("-e")} +
           command;
}

QString xdotool(const QStringList& arguments) {
    QProcess process;
    process.start(QStringLiteral("xdotool"), arguments);
    process.waitForFinished(5000);
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Times `jump` into each of two targets in turn; every jump must end where `arrived` says.
bool measure(const char* name, const std::function<void(int)>& jump, const std::function<bool(int)>& arrived,
             double& result) {
    std::vector<double> ms;
    for (int i = 0; i < rounds; ++i) {
        const auto begin = Steady::now();
        jump(i % 2);
        if (!waitUntil([&] { return arrived(i % 2); }, 5000)) {
            std::fprintf(stderr, "%s: round %d did not arrive\n", name, i);
            return false;
        }
        ms.push_back(std::chrono::duration<double, std::milli>(Steady::now() - begin).count());
    }
    result = median(ms);
    std::printf("%-28s median %7.2f ms  (min %.2f, max %.2f, %d jumps)\n", name, result,
                *std::min_element(ms.begin(), ms.end()), *std::max_element(ms.begin(), ms.end()), rounds);
    return true;
}
} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (qEnvironmentVariableIsEmpty("DISPLAY")) {
        std::fprintf(stderr, "needs an X server (run under xvfb-run)\n");
        return 1;
    }
    const QString home = qEnvironmentVariable("HOME");
    // Windows mapped while openbox is still starting can stay unmanaged: wait for its start-up command.
    const QString ready = home + QStringLiteral("/wm-ready");
    auto wm = start({QStringLiteral("openbox"), QStringLiteral("--sm-disable"), QStringLiteral("--startup"),
                     QStringLiteral("touch '%1'").arg(ready)});
    if (!waitUntil([&] { return QFile::exists(ready); })) {
        std::fprintf(stderr, "openbox did not start\n");
        return 1;
    }

    // Window 0: a shell whose child stands for the agent. Window 1: a tmux client on a session of two windows.
    const QString childFile = home + QStringLiteral("/child");
    auto shell = start(xterm({QStringLiteral("sh"), QStringLiteral("-c"),
                              QStringLiteral("sleep 600 & echo $! > '%1'; wait").arg(childFile)}));
    TmuxServer tmux(home + QStringLiteral("/tmux.sock"));
    const QString panes[] = {tmux.newSession(QStringLiteral("a")), tmux.add(QStringLiteral("a"))};
    if (!waitUntil([&] { return X11WindowActivator::activeProcess() == shell->processId(); }) ||
        !waitUntil([&] { return QFile(childFile).size() > 0; })) {
        std::fprintf(stderr, "the shell's xterm never became active\n");
        return 1;
    }
    const QString shellWindow = xdotool({QStringLiteral("getactivewindow")});
    auto client = start(xterm(tmux.attach(QStringLiteral("a"))));
    if (!waitUntil([&] { return X11WindowActivator::activeProcess() == client->processId(); }) ||
        !waitUntil([&] { return tmux.clients(QStringLiteral("#{session_name}")) == QStringList{"a"}; })) {
        std::fprintf(stderr, "the tmux client's xterm never became active\n");
        return 1;
    }
    const QString clientWindow = xdotool({QStringLiteral("getactivewindow")});

    QFile file(childFile);
    file.open(QIODevice::ReadOnly);
    Vorlix::TerminalContext agent;
    agent.ppid = file.readAll().trimmed().toInt();
    Vorlix::TerminalContext tmuxClient;
    tmuxClient.ppid = tmux.clients(QStringLiteral("#{client_pid}")).value(0).toInt();
    const qint64 owners[] = {shell->processId(), client->processId()};
    const QString windows[] = {shellWindow, clientWindow};
    const auto isActive = [&](int target) { return X11WindowActivator::activeProcess() == owners[target]; };

    double floor = 0, x11 = 0, viaTmux = 0;
    bool ok = measure(
        "xdotool windowactivate",
        [&](int target) {
            xdotool({QStringLiteral("windowactivate"), QStringLiteral("--sync"), windows[target]});
        },
        isActive, floor);
    ok = ok && measure(
                   "go: X11 (process tree)", [&](int target) { GoToTerminal::go(target == 0 ? agent : tmuxClient); },
                   isActive, x11);
    // Each tmux jump starts from the shell's window, so it selects the pane and raises the client's window.
    std::vector<double> tmuxMs;
    for (int i = 0; ok && i < rounds; ++i) {
        GoToTerminal::go(agent);
        Vorlix::TerminalContext inTmux;
        inTmux.tmuxPane = panes[i % 2].toStdString();
        inTmux.tmuxSocket = tmux.socket().toStdString();
        const auto begin = Steady::now();
        const auto result = GoToTerminal::go(inTmux);
        const bool arrived =
            result.ok && isActive(1) && tmux.format(QStringLiteral("a"), QStringLiteral("#{pane_id}")) == panes[i % 2];
        if (!arrived) {
            std::fprintf(stderr, "tmux: round %d did not arrive\n", i);
            ok = false;
        }
        tmuxMs.push_back(std::chrono::duration<double, std::milli>(Steady::now() - begin).count());
    }
    if (ok) {
        viaTmux = median(tmuxMs);
        std::printf("%-28s median %7.2f ms  (min %.2f, max %.2f, %d jumps)\n", "go: tmux pane + X11", viaTmux,
                    *std::min_element(tmuxMs.begin(), tmuxMs.end()), *std::max_element(tmuxMs.begin(), tmuxMs.end()),
                    rounds);
    }

    for (auto* process : {client.get(), shell.get(), wm.get()}) {
        process->kill();
        process->waitForFinished();
    }
    if (!ok)
        return 1;
    const bool within = x11 <= limitMs && viaTmux <= limitMs;
    std::printf("click to terminal active within %.0f ms: %s\n", limitMs, within ? "yes" : "NO");
    return within ? 0 : 1;
}
