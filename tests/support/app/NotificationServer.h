#pragma once

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QProcess>
#include <QStringList>
#include <QVariantMap>
#include <chrono>

/// A private session bus (its own dbus-daemon: nothing reaches the machine's) with a notification server of the
/// test's own on it, recording what it is asked. Replacing keeps the id, closing says so, as real servers do.
class NotificationServer final : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public:
    struct Posted {
        uint id, replacesId;
        QString summary, body;
        QStringList actions;
        std::chrono::steady_clock::time_point at; // when the server got it (the latency benchmark)
    };
    QStringList capabilities{QStringLiteral("actions"), QStringLiteral("body")};
    QList<Posted> posted;
    QList<uint> closed;

    NotificationServer() {
        m_bus.start(QStringLiteral("dbus-daemon"), {"--session", "--nofork", "--print-address=1"});
        for (int i = 0; i < 100 && m_bus.waitForStarted(100) && !m_bus.canReadLine(); ++i)
            m_bus.waitForReadyRead(100);
        m_address = QString::fromUtf8(m_bus.readLine()).trimmed();
        QDBusConnection server = connect(QStringLiteral("server"));
        m_ready = server.registerService(QStringLiteral("org.freedesktop.Notifications")) &&
                  server.registerObject(QStringLiteral("/org/freedesktop/Notifications"), this,
                                        QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals);
    }
    ~NotificationServer() override {
        for (const QString& name : std::as_const(m_names))
            QDBusConnection::disconnectFromBus(name);
        m_bus.kill();
        m_bus.waitForFinished();
    }
    /// The bus is up and the server holds the well-known name.
    bool ready() const { return m_ready; }
    /// A connection of its own name to the private bus, e.g. for the code under test.
    QDBusConnection connect(const QString& name) {
        if (!m_names.contains(name))
            m_names.append(name);
        return QDBusConnection::connectToBus(m_address, name);
    }
    /// The person clicks an action; any connection on the bus can send the very same signal.
    void invoke(uint id, const QString& key, const QString& from = QStringLiteral("server")) {
        QDBusMessage signal = QDBusMessage::createSignal(QStringLiteral("/org/freedesktop/Notifications"),
                                                         QStringLiteral("org.freedesktop.Notifications"),
                                                         QStringLiteral("ActionInvoked"));
        signal << id << key;
        connect(from).send(signal);
    }

public slots:
    QStringList GetCapabilities() { return capabilities; }
    uint Notify(const QString&, uint replacesId, const QString&, const QString& summary, const QString& body,
                const QStringList& actions, const QVariantMap&, int) {
        const uint id = replacesId != 0 && !closed.contains(replacesId) ? replacesId : ++m_next;
        posted.append({id, replacesId, summary, body, actions, std::chrono::steady_clock::now()});
        return id;
    }
    void CloseNotification(uint id) {
        closed.append(id);
        emit NotificationClosed(id, 3);
    }

signals:
    void ActionInvoked(uint id, const QString& key);
    void NotificationClosed(uint id, uint reason);

private:
    QProcess m_bus;
    QString m_address;
    QStringList m_names;
    uint m_next = 0;
    bool m_ready = false;
};
