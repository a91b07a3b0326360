#pragma once

#include <QDBusConnection>
#include <QObject>
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
        uint id;
        uint replacesId;
        QString summary, body;
        QStringList actions;
        std::chrono::steady_clock::time_point at; // when the server got it
    };

    NotificationServer();
    ~NotificationServer() override;

    /// The bus is up and the server holds the well-known name.
    bool ready() const { return m_ready; }
    /// A connection of its own name to the private bus, e.g. for the code under test.
    QDBusConnection connect(const QString& name) const;
    /// The person clicks an action; any connection on the bus can send the very same signal.
    void invoke(uint id, const QString& key, const QString& from = QStringLiteral("server")) const;

    QStringList capabilities{QStringLiteral("actions"), QStringLiteral("body")};
    QList<Posted> posted;
    QList<uint> closed;

public slots:
    QStringList GetCapabilities() { return capabilities; }
    uint Notify(const QString& appName, uint replacesId, const QString& icon, const QString& summary,
                const QString& body, const QStringList& actions, const QVariantMap& hints, int expireMs);
    void CloseNotification(uint id);

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
