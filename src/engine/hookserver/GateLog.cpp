#include "hookserver/GateLog.h"

#include "hookserver/Gate.h"
#include "sessions/SessionStore.h"
#include "support/Log.h"

GateLog::GateLog(SessionStore& store, QObject* parent) : QObject(parent), m_store(store) {
    connect(&store, &SessionStore::gatesChanged, this, &GateLog::update);
}

void GateLog::update() {
    QHash<QString, QString> open;
    for (const Gate* gate : m_store.gates()) {
        const QString words = QStringLiteral("%1 %2 (session %3)")
                                  .arg(gate->toolName(), gate->detail().left(80).simplified(), gate->sessionID());
        open.insert(gate->id(), words);
        if (!m_open.contains(gate->id()))
            Log::line(QStringLiteral("Vorlix Agents: waiting for a person: ") + words);
    }
    for (auto it = m_open.cbegin(); it != m_open.cend(); ++it) {
        if (!open.contains(it.key()))
            Log::line(QStringLiteral("Vorlix Agents: no longer waiting: ") + it.value());
    }
    m_open = std::move(open);
}
