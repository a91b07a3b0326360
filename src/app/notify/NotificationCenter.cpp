#include "notify/NotificationCenter.h"

#include "notify/NotificationsInterface.h"

#include <QDBusError>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QFileInfo>

namespace {
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
    fetchCapabilities();
}

void NotificationCenter::fetchCapabilities() {
    // Asked by its well-known name, which may start the server; its answer names the server for good.
    auto* lookup = new NotificationsInterface(NotificationsInterface::wellKnownName(), m_bus, this);
    auto* watcher = new QDBusPendingCallWatcher(lookup->getCapabilities(), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, lookup](QDBusPendingCallWatcher* finished) {
        finished->deleteLater();
        lookup->deleteLater();
        const QDBusPendingReply<QStringList> reply = *finished;
        // No server on the bus: nothing to show, nothing waits.
        m_capabilities = reply.isError() ? QStringList() : reply.value();
        m_capabilitiesKnown = true;
        delete m_server;
        m_posted.clear();
        if (!reply.isError()) {
            m_server = new NotificationsInterface(reply.reply().service(), m_bus, this);
            connect(m_server, &NotificationsInterface::ActionInvoked, this, &NotificationCenter::onActionInvoked);
            connect(m_server, &NotificationsInterface::NotificationClosed, this,
                    &NotificationCenter::onNotificationClosed);
        }
        auto waiting = std::move(m_waiting);
        m_waiting.clear();
        for (auto& entry : waiting)
            send(std::move(entry));
    });
}

void NotificationCenter::notify(Notice notice, std::function<void(uint)> posted) {
    if (!m_bus.isConnected()) {
        if (posted)
            posted(0);
        return;
    }
    Waiting entry{std::move(notice), std::move(posted)};
    if (!m_capabilitiesKnown) {
        m_waiting.push_back(std::move(entry));
        return;
    }
    send(std::move(entry));
}

void NotificationCenter::send(Waiting entry) {
    if (!m_server) {
        if (entry.posted)
            entry.posted(0);
        return;
    }
    const Notice& notice = entry.notice;
    const QStringList actions = supports(QStringLiteral("actions")) ? notice.actions : QStringList();
    auto* watcher = new QDBusPendingCallWatcher(
        m_server->notify(appName, m_posted.contains(notice.replacesId) ? notice.replacesId : 0, QString(),
                         notice.summary, bodyText(notice.body), actions, notice.hints, notice.expireMs),
        this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, entry = std::move(entry)](QDBusPendingCallWatcher* finished) mutable {
                finished->deleteLater();
                const QDBusPendingReply<uint> reply = *finished;
                const auto error = reply.isError() ? reply.error().type() : QDBusError::NoError;
                if (error == QDBusError::ServiceUnknown && !entry.retried) {
                    // The server we knew is gone: find the one that took its place, then try once more.
                    entry.retried = true;
                    m_waiting.push_back(std::move(entry));
                    if (std::exchange(m_capabilitiesKnown, false))
                        fetchCapabilities();
                    return;
                }
                const uint id = reply.isError() ? 0 : reply.value();
                if (id != 0)
                    m_posted.insert(id);
                if (entry.posted)
                    entry.posted(id);
            });
}

void NotificationCenter::close(uint id) {
    if (id == 0 || !m_server || !m_posted.contains(id))
        return;
    m_server->closeNotification(id);
}

QString NotificationCenter::bodyText(const QString& plain) const {
    return supports(QStringLiteral("body-markup")) ? plain.toHtmlEscaped() : plain;
}

void NotificationCenter::onActionInvoked(uint id, const QString& key) {
    if (m_posted.contains(id))
        emit actionInvoked(id, key);
}

void NotificationCenter::onNotificationClosed(uint id, uint reason) {
    if (m_posted.remove(id))
        emit closed(id, reason);
}
