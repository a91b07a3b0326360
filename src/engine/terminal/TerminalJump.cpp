#include "terminal/TerminalJump.h"

#include "terminal/ProcessTree.h"
#include "terminal/TmuxJump.h"

#include <QProcess>
#include <QStandardPaths>

namespace {
QString text(const std::optional<std::string>& value) {
    return value ? QString::fromStdString(*value) : QString();
}

// Runs an installed terminal's remote control; false when it is not installed or refuses.
bool control(const QString& name, const QStringList& arguments) {
    const QString program = QStandardPaths::findExecutable(name);
    if (program.isEmpty())
        return false;
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(3000)) {
        process.kill();
        process.waitForFinished();
        return false;
    }
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}
} // namespace

TerminalJump::TerminalJump(WindowRaiser raiser) : m_raiser(std::move(raiser)) {}

QString TerminalJump::cantBringForward() {
    return QStringLiteral("Can't bring this terminal forward here");
}

TerminalJump::Result TerminalJump::go(const std::optional<Vorlix::TerminalContext>& terminal) const {
    if (!terminal)
        return {false, cantBringForward()};
    bool shown = false;
    std::vector<pid_t> starts;

    const QString pane = text(terminal->tmuxPane);
    const QString tmux = QStandardPaths::findExecutable(QStringLiteral("tmux"));
    if (!pane.isEmpty() && !tmux.isEmpty()) {
        const auto socket = terminal->tmuxSocket ? std::optional(text(terminal->tmuxSocket)) : std::nullopt;
        const auto moved = TmuxJump::go(tmux, socket, pane);
        shown = moved.ok;
        // The window to raise is the one around a tmux client; the agent's own ancestors end at the tmux server.
        starts = moved.clientPids;
    }
    if (!shown && terminal->weztermPane && !terminal->weztermPane->empty())
        shown = control(QStringLiteral("wezterm"), {QStringLiteral("cli"), QStringLiteral("activate-pane"),
                                                    QStringLiteral("--pane-id"), text(terminal->weztermPane)});
    if (!shown && terminal->kittyWindowID && terminal->kittyListenOn)
        shown = control(QStringLiteral("kitty"),
                        {QStringLiteral("@"), QStringLiteral("--to"), text(terminal->kittyListenOn),
                         QStringLiteral("focus-window"), QStringLiteral("--match"),
                         QStringLiteral("id:") + text(terminal->kittyWindowID)});
    if (terminal->ppid > 1)
        starts.push_back(terminal->ppid);

    bool raised = false;
    if (m_raiser) {
        for (const pid_t start : starts) {
            if (m_raiser(ProcessTree::lineage(start))) {
                raised = true;
                break;
            }
        }
    }
    if (shown || raised)
        return {true, {}};
    return {false, cantBringForward()};
}
