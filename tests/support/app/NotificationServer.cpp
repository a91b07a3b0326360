#include "NotificationServer.h"

#include <QCoreApplication>
#include <QDBusMessage>
#include <QElapsedTimer>

NotificationServer::NotificationServer() {
    m_bus.start(QStringLiteral("dbus-daemon"), {"--session", "--nofork", "--print-address=1"});
    QElapsedTimer waited;
    waited.start();
    while (m_bus.waitForStarted(100) && !m_bus.canReadLine() && waited.elapsed() < 10000)
        m_bus.waitForReadyRead(100);
    if (!m_bus.canReadLine())
        return;
    m_address = QString::fromUtf8(m_bus.readLine()).trimmed();
    QDBusConnection server = connect(QStringLiteral("server"));
    m_ready = server.registerService(QStringLiteral("org.freedesktop.Notifications")) &&
              server.registerObject(QStringLiteral("/org/freedesktop/Notifications"), this,
                                    QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals);
}

NotificationServer::~NotificationServer() {
    for (const QString& name : std::as_const(m_names))
        QDBusConnection::disconnectFromBus(name);
    m_bus.kill();
    m_bus.waitForFinished();
}

QDBusConnection NotificationServer::connect(const QString& name) const {
    auto& names = const_cast<QStringList&>(m_names);
    if (!names.contains(name))
        names.append(name);
    return QDBusConnection::connectToBus(m_address, name);
}

void NotificationServer::invoke(uint id, const QString& key, const QString& from) const {
    QDBusMessage signal =
        QDBusMessage::createSignal(QStringLiteral("/org/freedesktop/Notifications"),
                                   QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("ActionInvoked"));
    signal << id << key;
    connect(from).send(signal);
}

uint NotificationServer::Notify(const QString&, uint replacesId, const QString&, const QString& summary,
                                const QString& body, const QStringList& actions, const QVariantMap&, int) {
    const bool replaces = replacesId != 0 && !closed.contains(replacesId);
    const uint id = replaces ? replacesId : ++m_next;
    posted.append({id, replacesId, summary, body, actions, std::chrono::steady_clock::now()});
    return id;
}

void NotificationServer::CloseNotification(uint id) {
    closed.append(id);
    emit NotificationClosed(id, 3);
}
