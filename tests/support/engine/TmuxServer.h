#pragma once

#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QStringList>

/// A private tmux server on a socket of its own, without the caller's configuration; killed at the end.
class TmuxServer final {
public:
    explicit TmuxServer(QString socket) : m_socket(std::move(socket)) {}
    ~TmuxServer() { run({QStringLiteral("kill-server")}); }
    TmuxServer(const TmuxServer&) = delete;
    TmuxServer& operator=(const TmuxServer&) = delete;

    const QString& socket() const { return m_socket; }

    /// The command's standard output, trimmed; empty when it failed.
    QString run(const QStringList& command) const {
        QProcess tmux;
        tmux.start(QStringLiteral("tmux"), arguments() + command);
        tmux.waitForFinished(5000);
        return tmux.exitCode() == 0 ? QString::fromUtf8(tmux.readAllStandardOutput()).trimmed() : QString();
    }
    QString format(const QString& target, const QString& format) const {
        return run({QStringLiteral("display-message"), QStringLiteral("-p"), QStringLiteral("-t"), target, format});
    }
    /// A detached session whose first pane sleeps; returns the pane's id.
    QString newSession(const QString& name) const {
        return run({QStringLiteral("new-session"), QStringLiteral("-d"), QStringLiteral("-P"), QStringLiteral("-F"),
                    QStringLiteral("#{pane_id}"), QStringLiteral("-s"), name, QStringLiteral("-x"),
                    QStringLiteral("80"), QStringLiteral("-y"), QStringLiteral("24"), sleeper});
    }
    /// A new window (or, with split, a new pane of the current window) that sleeps; returns the pane's id.
    QString add(const QString& target, bool split = false) const {
        return run({split ? QStringLiteral("split-window") : QStringLiteral("new-window"), QStringLiteral("-P"),
                    QStringLiteral("-F"), QStringLiteral("#{pane_id}"), QStringLiteral("-t"), target, sleeper});
    }
    /// Program and arguments that attach a client to a session.
    QStringList attach(const QString& session) const {
        return QStringList{QStandardPaths::findExecutable(QStringLiteral("tmux"))} + arguments() +
               QStringList{QStringLiteral("attach-session"), QStringLiteral("-t"), session};
    }
    QStringList clients(const QString& format) const {
        return run({QStringLiteral("list-clients"), QStringLiteral("-F"), format})
            .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }

private:
    QStringList arguments() const {
        return {QStringLiteral("-S"), m_socket, QStringLiteral("-f"), QStringLiteral("/dev/null")};
    }

    static inline const QString sleeper = QStringLiteral("sleep 600");
    QString m_socket;
};
