#include "support/ControlChannel.h"

#include "Paths.h"

#include <QFileInfo>
#include <QLocalSocket>
#include <QMetaMethod>

ControlChannel::ControlChannel(QString path, QObject* parent) : QObject(parent), m_path(std::move(path)) {
    connect(&m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = m_server.nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] { answer(socket); });
        }
    });
}

QString ControlChannel::defaultPath() {
    return QFileInfo(QString::fromStdString(Vorlix::socketPath())).absolutePath() + QStringLiteral("/control.sock");
}

bool ControlChannel::listen() {
    QLocalServer::removeServer(m_path);
    m_server.setSocketOptions(QLocalServer::UserAccessOption);
    return m_server.listen(m_path);
}

void ControlChannel::answer(QLocalSocket* socket) {
    if (!socket->canReadLine())
        return;
    const QByteArray request = socket->readLine().trimmed();
    QByteArray reply = "unknown\n";
    if (request == "settings") {
        const bool windowed = isSignalConnected(QMetaMethod::fromSignal(&ControlChannel::settingsRequested));
        reply = windowed ? "ok\n" : "no-window\n";
        emit settingsRequested();
    }
    socket->write(reply);
    socket->disconnectFromServer();
}

QString ControlChannel::ask(const QString& request, const QString& path, int timeoutMs) {
    QLocalSocket socket;
    socket.connectToServer(path);
    if (!socket.waitForConnected(timeoutMs))
        return {};
    socket.write(request.toUtf8() + '\n');
    if (!socket.waitForBytesWritten(timeoutMs))
        return {};
    while (!socket.canReadLine()) {
        if (!socket.waitForReadyRead(timeoutMs))
            return {};
    }
    return QString::fromUtf8(socket.readLine().trimmed());
}
