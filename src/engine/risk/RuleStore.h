#pragma once

#include "Decision.h"
#include "risk/Rule.h"
#include "support/Clock.h"
#include "support/JsonFile.h"

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
    /// starts the store empty and is moved aside, never overwritten.
    explicit RuleStore(QString path = defaultPath(), const Clock& clock = Clock::system(), QObject* parent = nullptr);

    static QString defaultPath();
    const QString& path() const { return m_file.path(); }
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
    void save();

    JsonFile m_file;
    const Clock& m_clock;
    QList<Rule> m_rules;
};
