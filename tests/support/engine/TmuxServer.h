#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

/// A private tmux server on a socket of its own, without the caller's configuration; killed at the end.
class TmuxServer final {
public:
    explicit TmuxServer(QString socket) : m_socket(std::move(socket)) {}
    ~TmuxServer() { run(QStringLiteral("kill-server")); }
    TmuxServer(const TmuxServer&) = delete;
    TmuxServer& operator=(const TmuxServer&) = delete;

    const QString& socket() const { return m_socket; }

    /// Runs a command given as blank-separated words, then `last` as one argument; its output, trimmed, or nothing
    /// when it failed.
    QString run(const QString& words, const QString& last = {}) const {
        QStringList arguments = prefix() + words.split(u' ');
        if (!last.isEmpty())
            arguments << last;
        QProcess tmux;
        tmux.start(QStringLiteral("tmux"), arguments);
        tmux.waitForFinished(5000);
        return tmux.exitCode() == 0 ? QString::fromUtf8(tmux.readAllStandardOutput()).trimmed() : QString();
    }
    QString format(const QString& target, const QString& format) const {
        return run(QStringLiteral("display-message -p -t ") + target, format);
    }
    /// A detached session whose pane sleeps; returns the pane's id.
    QString newSession(const QString& name) const {
        return run(QStringLiteral("new-session -d -P -F #{pane_id} -x 80 -y 24 -s ") + name, sleeper);
    }
    /// A new window (or, with split, a new pane beside the target) that sleeps; returns the pane's id.
    QString add(const QString& target, bool split = false) const {
        return run((split ? QStringLiteral("split-window") : QStringLiteral("new-window")) +
                       QStringLiteral(" -P -F #{pane_id} -t ") + target,
                   sleeper);
    }
    /// The command line of a client attached to a session.
    QStringList attach(const QString& session) const {
        return QStringList{QStringLiteral("tmux")} + prefix() +
               QStringList{QStringLiteral("attach-session"), QStringLiteral("-t"), session};
    }
    QStringList clients(const QString& format) const {
        return run(QStringLiteral("list-clients -F"), format).split(u'\n', Qt::SkipEmptyParts);
    }

private:
    QStringList prefix() const {
        return {QStringLiteral("-S"), m_socket, QStringLiteral("-f"), QStringLiteral("/dev/null")};
    }

    static inline const QString sleeper = QStringLiteral("sleep 600");
    QString m_socket;
};
