#pragma once

#include <QDBusAbstractInterface>
#include <QDBusPendingReply>
#include <QStringList>
#include <QVariantMap>

/// org.freedesktop.Notifications at /org/freedesktop/Notifications on one bus name; the signals are named as on
/// the bus, so Qt relays exactly those of the name given (a unique name: that server's, nobody else's).
class NotificationsInterface final : public QDBusAbstractInterface {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(NotificationsInterface)

public:
    static constexpr const char* interfaceName = "org.freedesktop.Notifications";
    static QString wellKnownName() { return QString::fromLatin1(interfaceName); }

    NotificationsInterface(const QString& service, const QDBusConnection& bus, QObject* parent = nullptr);

    QDBusPendingReply<QStringList> getCapabilities();
    QDBusPendingReply<uint> notify(const QString& appName, uint replacesId, const QString& icon, const QString& summary,
                                   const QString& body, const QStringList& actions, const QVariantMap& hints,
                                   int expireMs);
    QDBusPendingReply<> closeNotification(uint id);

signals:
    void ActionInvoked(uint id, const QString& actionKey);
    void NotificationClosed(uint id, uint reason);
};
