#include "notify/NotificationsInterface.h"

NotificationsInterface::NotificationsInterface(const QString& service, const QDBusConnection& bus, QObject* parent)
    : QDBusAbstractInterface(service, QStringLiteral("/org/freedesktop/Notifications"), interfaceName, bus, parent) {}

QDBusPendingReply<QStringList> NotificationsInterface::getCapabilities() {
    return asyncCall(QStringLiteral("GetCapabilities"));
}

QDBusPendingReply<uint> NotificationsInterface::notify(const QString& appName, uint replacesId, const QString& icon,
                                                       const QString& summary, const QString& body,
                                                       const QStringList& actions, const QVariantMap& hints,
                                                       int expireMs) {
    return asyncCall(QStringLiteral("Notify"), appName, replacesId, icon, summary, body, actions, hints, expireMs);
}

QDBusPendingReply<> NotificationsInterface::closeNotification(uint id) {
    return asyncCall(QStringLiteral("CloseNotification"), id);
}
