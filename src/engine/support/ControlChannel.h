#pragma once

#include <QLocalServer>
#include <QObject>
#include <QString>

/// A second start of the desktop application asks the running one, over this socket beside the hook socket, to
/// open its settings window. Kept apart from the hook socket so the bridges' protocol never changes. One request
/// line each way: "settings" answered by "ok" (a window opens) or "no-window" (a headless application).
class ControlChannel final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ControlChannel)

public:
    explicit ControlChannel(QString path = defaultPath(), QObject* parent = nullptr);

    /// ~/.vorlix-agents/run/control.sock
    static QString defaultPath();
    /// Only the instance that holds the hook socket listens; a file left by a crash is replaced.
    bool listen();
    /// The running application's answer to `request`, or empty when nothing answers within the time.
    static QString ask(const QString& request, const QString& path = defaultPath(), int timeoutMs = 2000);

signals:
    void settingsRequested();

private:
    void answer(class QLocalSocket* socket);

    QString m_path;
    QLocalServer m_server;
};
