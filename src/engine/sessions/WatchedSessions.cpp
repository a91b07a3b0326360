#include "sessions/WatchedSessions.h"

#include "sessions/Session.h"

void WatchedSessions::release(const QObject* receiver) {
    for (const QPointer<Session>& session : std::as_const(m_sessions)) {
        if (session)
            QObject::disconnect(session, nullptr, receiver, nullptr);
    }
    m_sessions.clear();
}
