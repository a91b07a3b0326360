#include "terminal/TmuxJump.h"

#include <QProcess>
#include <algorithm>

namespace {
struct Client {
    qint64 activity = 0;
    pid_t pid = 0;
    QString tty;
    QString session;
};

// Commands joined with tmux's own ";" separator run in one process and stop at the first that fails.
bool run(const QString& tmux, const std::optional<QString>& socket, const QStringList& commands, QString& out,
         QString& error) {
    QStringList arguments;
    if (socket)
        arguments << QStringLiteral("-S") << *socket;
    arguments << commands;
    QProcess process;
    process.start(tmux, arguments);
    if (!process.waitForFinished(3000)) {
        process.kill();
        process.waitForFinished();
        error = QStringLiteral("tmux did not answer");
        return false;
    }
    out = QString::fromUtf8(process.readAllStandardOutput());
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        error = QString::fromUtf8(process.readAllStandardError()).trimmed();
        if (error.isEmpty())
            error = QStringLiteral("tmux failed");
        return false;
    }
    return true;
}
} // namespace

TmuxJump::Result TmuxJump::go(const QString& tmux, const std::optional<QString>& socket, const QString& pane) {
    Result result;
    QString out;
    const QString separator = QStringLiteral(";");
    if (!run(tmux, socket,
             {QStringLiteral("display-message"), QStringLiteral("-p"), QStringLiteral("-t"), pane,
              QStringLiteral("#{session_id}"), separator, QStringLiteral("list-clients"), QStringLiteral("-F"),
              QStringLiteral("#{client_activity} #{client_pid} #{session_id} #{client_tty}")},
             out, result.error))
        return result;
    QStringList lines = out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    if (lines.isEmpty()) {
        result.error = QStringLiteral("tmux gave no session for the pane");
        return result;
    }
    const QString session = lines.takeFirst().trimmed();
    std::vector<Client> clients;
    for (const QString& line : lines) {
        const QStringList parts = line.split(QLatin1Char(' '));
        if (parts.size() < 4)
            continue;
        clients.push_back(
            {parts[0].toLongLong(), static_cast<pid_t>(parts[1].toLong()), parts.mid(3).join(u' '), parts[2]});
    }
    std::stable_sort(clients.begin(), clients.end(),
                     [](const Client& a, const Client& b) { return a.activity > b.activity; });

    QStringList commands = {QStringLiteral("select-window"), QStringLiteral("-t"), pane, separator,
                            QStringLiteral("select-pane"),   QStringLiteral("-t"), pane};
    for (const Client& client : clients) {
        if (client.session == session)
            result.clientPids.push_back(client.pid);
    }
    // No client shows the pane's session: move the one used last there, as a person would with switch-client.
    if (result.clientPids.empty() && !clients.empty()) {
        commands << separator << QStringLiteral("switch-client") << QStringLiteral("-c") << clients.front().tty
                 << QStringLiteral("-t") << pane;
        result.clientPids.push_back(clients.front().pid);
    }
    if (!run(tmux, socket, commands, out, result.error)) {
        result.clientPids.clear();
        return result;
    }
    result.ok = !result.clientPids.empty();
    if (!result.ok)
        result.error = QStringLiteral("no tmux client is attached");
    return result;
}
