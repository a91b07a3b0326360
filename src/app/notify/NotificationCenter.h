#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QStringList>
#include <QVariantMap>
#include <functional>
#include <vector>

class NotificationsInterface;

/// The desktop's notification server (org.freedesktop.Notifications). Without a session bus or a server
/// every call quietly does nothing. Signals count only from the server that answered us, and only for the
/// notifications we posted: any other connection on the bus can emit the same ones.
class NotificationCenter final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(NotificationCenter)

public:
    struct Notice {
        QString summary;
        QString body;
        QStringList actions; // key, label, key, label…
        int expireMs = -1;   // -1: the server decides; 0: stays until answered
        QVariantMap hints;
        uint replacesId = 0; // a notification of ours still shown, replaced in place
    };

    /// On the session bus when one is running; never starts one.
    explicit NotificationCenter(QObject* parent = nullptr);
    NotificationCenter(const QDBusConnection& bus, QObject* parent = nullptr);

    bool available() const { return m_bus.isConnected(); }
    /// Posts once the server's capabilities are known; posted gets the server's id, or 0 when it failed.
    void notify(Notice notice, std::function<void(uint)> posted = {});
    void close(uint id);
    bool capabilitiesKnown() const { return m_capabilitiesKnown; }
    bool supports(const QString& capability) const { return m_capabilities.contains(capability); }
    /// The session bus if its address is known or its standard socket exists; otherwise a connection that is
    /// not connected, so that libdbus never autolaunches a bus daemon for us.
    static QDBusConnection runningSessionBus();
    /// Without a running session bus, stops libdbus (ours, the tray's, the sound server's) from
    /// autolaunching a private one through the X display: a stray daemon per start, and slow.
    static void preventAutolaunch();
    /// Escapes text for a server that reads markup in bodies.
    QString bodyText(const QString& plain) const;

signals:
    void actionInvoked(uint id, const QString& key);
    void closed(uint id, uint reason);

private:
    struct Waiting {
        Notice notice;
        std::function<void(uint)> posted;
        bool retried = false;
    };

    void fetchCapabilities();
    void send(Waiting waiting);
    void onActionInvoked(uint id, const QString& key);
    void onNotificationClosed(uint id, uint reason);

    QDBusConnection m_bus;
    bool m_capabilitiesKnown = false;
    QStringList m_capabilities;
    // The server by its unique name, once it has answered; absent while there is none.
    QPointer<NotificationsInterface> m_server;
    QSet<uint> m_posted;
    std::vector<Waiting> m_waiting;
};
