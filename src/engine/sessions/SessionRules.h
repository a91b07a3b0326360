#pragma once

#include "risk/Risk.h"

#include <QList>
#include <QObject>
#include <QString>
#include <cstdint>

/// "Allow for this session": allow rules that answer later calls with the same rule key in the one session they
/// were given in, kept in memory until that session ends. They take the key and the limits of the stored "always
/// allow" rules, and never answer a `critical` call. Main thread only.
class SessionRules final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SessionRules)

public:
    struct Rule {
        QString sessionID;
        QString key;
        /// The session's project when the rule was given, for the list a person reads.
        QString project;
        std::int64_t timesFired = 0;

        bool operator==(const Rule&) const = default;
    };

    explicit SessionRules(QObject* parent = nullptr) : QObject(parent) {}

    const QList<Rule>& rules() const { return m_rules; }

    /// Whether a session rule may be given for, or answer, this call.
    static bool offered(const QString& tool, const QString& detail, const RiskVerdict& verdict);
    /// False when the call may not have one; a key the session has already is kept as it is.
    bool add(const QString& sessionID, const QString& project, const QString& tool, const QString& detail,
             const RiskVerdict& verdict);
    /// Whether one of the session's rules answers the call, counting the firing.
    bool answers(const QString& sessionID, const QString& tool, const QString& detail, const RiskVerdict& verdict);
    void forget(const QString& sessionID, const QString& key);
    /// The session is gone: so are its rules.
    void endSession(const QString& sessionID);

signals:
    void rulesChanged();

private:
    QList<Rule> m_rules;
};
