#include "hookserver/SocketKeeper.h"

#include "hookserver/Server.h"
#include "support/Log.h"

#include <QFileInfo>
#include <utility>

SocketKeeper::SocketKeeper(Server& server, QObject* parent) : QObject(parent), m_server(server) {
    m_settle.setSingleShot(true);
    m_settle.setInterval(100);
    connect(&m_settle, &QTimer::timeout, this, &SocketKeeper::check);
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, &m_settle, qOverload<>(&QTimer::start));
    watch();
}

void SocketKeeper::watch() {
    const QString folder = QFileInfo(QString::fromStdString(m_server.path())).absolutePath();
    if (!m_watcher.directories().contains(folder))
        m_watcher.addPath(folder);
}

void SocketKeeper::check() {
    // A listener closed on a permanent accept error stays closed; one we lost to the path is bound again.
    if (m_server.holdsPath() || (m_server.listenFD() < 0 && !m_lost))
        return;
    const QString path = QString::fromStdString(m_server.path());
    try {
        m_server.rebind();
        m_lost = false;
        Log::line(QStringLiteral("Vorlix Agents: the socket file was removed or replaced; listening again on ") + path);
    } catch (const std::exception& error) {
        if (std::exchange(m_lost, true))
            return watch();
        Log::line(
            QStringLiteral("Vorlix Agents: the socket file was removed or replaced and could not be bound again: ") +
            QString::fromUtf8(error.what()));
    }
    // A removed folder drops out of the watch list.
    watch();
}
