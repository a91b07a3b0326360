#pragma once

#include <QHash>
#include <QObject>
#include <QString>

class SessionStore;

/// Without a panel the log is the only place a person sees that an agent waits on them: one line when a gate
/// starts waiting, one when it ends.
class GateLog final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(GateLog)

public:
    explicit GateLog(SessionStore& store, QObject* parent = nullptr);

private:
    void update();

    SessionStore& m_store;
    // Open gates by id, with the words that name them.
    QHash<QString, QString> m_open;
};
