#include "notify/NotificationCenter.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QFileInfo>

namespace {
const QString service = QStringLiteral("org.freedesktop.Notifications");
const QString path = QStringLiteral("/org/freedesktop/Notifications");
const QString interface = QStringLiteral("org.freedesktop.Notifications");
const QString appName = QStringLiteral("Vorlix Agents");
} // namespace

NotificationCenter::NotificationCenter(QObject* parent) : NotificationCenter(runningSessionBus(), parent) {}

namespace {
bool sessionBusKnown() {
    const QString runtimeDir = qEnvironmentVariable("XDG_RUNTIME_DIR");
    return !qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS") ||
           (!runtimeDir.isEmpty() && QFileInfo::exists(runtimeDir + QStringLiteral("/bus")));
}
} // namespace

QDBusConnection NotificationCenter::runningSessionBus() {
    return sessionBusKnown() ? QDBusConnection::sessionBus() : QDBusConnection(QStringLiteral("vorlix-no-session-bus"));
}

void NotificationCenter::preventAutolaunch() {
    // An address libdbus cannot parse fails at once instead of launching a bus.
    if (!sessionBusKnown())
        qputenv("DBUS_SESSION_BUS_ADDRESS", "disabled:");
}

NotificationCenter::NotificationCenter(const QDBusConnection& bus, QObject* parent) : QObject(parent), m_bus(bus) {
    if (!m_bus.isConnected()) {
        m_capabilitiesKnown = true;
        return;
    }
    m_bus.connect(service, path, interface, QStringLiteral("ActionInvoked"), this,
                  SLOT(onActionInvoked(uint, QString)));
    m_bus.connect(service, path, interface, QStringLiteral("NotificationClosed"), this,
                  SLOT(onNotificationClosed(uint, uint)));
    fetchCapabilities();
}

void NotificationCenter::fetchCapabilities() {
    const QDBusMessage call =
        QDBusMessage::createMethodCall(service, path, interface, QStringLiteral("GetCapabilities"));
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* finished) {
        finished->deleteLater();
        const QDBusPendingReply<QStringList> reply = *finished;
        // No server on the bus: nothing to show, nothing waits.
        m_capabilities = reply.isError() ? QStringList() : reply.value();
        m_capabilitiesKnown = true;
        auto waiting = std::move(m_waiting);
        m_waiting.clear();
        for (const auto& [notice, posted] : waiting)
            send(notice, posted);
    });
}

void NotificationCenter::notify(Notice notice, std::function<void(uint)> posted) {
    if (!m_bus.isConnected()) {
        if (posted)
            posted(0);
        return;
    }
    if (!m_capabilitiesKnown) {
        m_waiting.emplace_back(std::move(notice), std::move(posted));
        return;
    }
    send(notice, posted);
}

void NotificationCenter::send(const Notice& notice, const std::function<void(uint)>& posted) {
    const QStringList actions = supports(QStringLiteral("actions")) ? notice.actions : QStringList();
    QDBusMessage call = QDBusMessage::createMethodCall(service, path, interface, QStringLiteral("Notify"));
    call << appName << uint(0) << QString() << notice.summary << bodyText(notice.body) << actions << notice.hints
         << qint32(notice.expireMs);
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [posted](QDBusPendingCallWatcher* finished) {
        finished->deleteLater();
        const QDBusPendingReply<uint> reply = *finished;
        if (posted)
            posted(reply.isError() ? 0 : reply.value());
    });
}

void NotificationCenter::close(uint id) {
    if (id == 0 || !m_bus.isConnected())
        return;
    QDBusMessage call = QDBusMessage::createMethodCall(service, path, interface, QStringLiteral("CloseNotification"));
    call << id;
    m_bus.asyncCall(call);
}

QString NotificationCenter::bodyText(const QString& plain) const {
    return supports(QStringLiteral("body-markup")) ? plain.toHtmlEscaped() : plain;
}

void NotificationCenter::onActionInvoked(uint id, const QString& key) {
    emit actionInvoked(id, key);
}

void NotificationCenter::onNotificationClosed(uint id, uint reason) {
    emit closed(id, reason);
}
