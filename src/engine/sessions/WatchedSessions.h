#pragma once

#include <QList>
#include <QPointer>

class QObject;
class Session;

/// The sessions a view has connected to, so it can let go of all of them when the store's list changes.
class WatchedSessions final {
public:
    /// Disconnects every session still alive from `receiver`, then forgets them all.
    void release(const QObject* receiver);
    void add(Session* session) { m_sessions.append(session); }

private:
    QList<QPointer<Session>> m_sessions;
};
