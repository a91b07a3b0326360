#pragma once

#include <QFileSystemWatcher>
#include <QObject>
#include <QTimer>

class Server;

/// Watches the run folder: when the socket file is removed or replaced (a clean-up script, a stray `rm`), binds
/// again, so bridges do not silently fail open for the rest of the run.
class SocketKeeper final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SocketKeeper)

public:
    explicit SocketKeeper(Server& server, QObject* parent = nullptr);

private:
    void check();
    void watch();

    Server& m_server;
    QFileSystemWatcher m_watcher;
    // Several changes in a row (unlink, then create) are one event.
    QTimer m_settle;
    bool m_lost = false;
};
