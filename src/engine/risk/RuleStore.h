#pragma once

#include "Decision.h"
#include "risk/Rule.h"
#include "support/Clock.h"

#include <QList>
#include <QObject>
#include <optional>

/// The learned "always allow" rules, kept in ~/.vorlix-agents/data/rules.json. Main thread only.
class RuleStore final : public QObject {
    Q_OBJECT
    Q_PROPERTY(QList<Rule> rules READ rules NOTIFY rulesChanged)
    Q_DISABLE_COPY_MOVE(RuleStore)

public:
    /// Loads the file once; only a missing file means "no rules yet". A file that cannot be read or decoded
    /// starts the store empty and is moved aside before the first save instead of being overwritten.
    explicit RuleStore(QString path = defaultPath(), const Clock& clock = Clock::system(), QObject* parent = nullptr);

    static QString defaultPath();
    const QString& path() const { return m_path; }
    const QList<Rule>& rules() const { return m_rules; }

    /// The behavior of the first rule whose key matches the call, counting the firing; nothing without one.
    std::optional<Vorlix::Behavior> decision(const QString& tool, const QString& detail);
    /// Teaches a rule for the call's key unless one already exists (which then stays untouched).
    void add(const QString& tool, const QString& detail, Vorlix::Behavior behavior);
    /// Forgets every rule with this rule's key; rewrites the file even when none was left.
    void remove(const Rule& rule);

signals:
    void rulesChanged();

private:
    void load();
    void save();

    QString m_path;
    const Clock& m_clock;
    QList<Rule> m_rules;
    // The file on disk holds something we could not read: keep it for the user rather than replace it.
    bool m_moveAsideBeforeSave = false;
};
