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
    /// Loads the file once; only a missing file means "no rules yet". A file that cannot be read or is not a
    /// JSON array starts the store empty and is moved aside, never overwritten. A single rule that cannot be read
    /// is skipped (logged once, by position) and written back as it was, so no save loses it.
    explicit RuleStore(QString path = defaultPath(), const Clock& clock = Clock::system(), QObject* parent = nullptr);

    static QString defaultPath();
    const QString& path() const { return m_file.path(); }
    const QList<Rule>& rules() const { return m_rules; }

    /// The behavior of the first rule that answers the call, counting the firing; nothing without one. A deny rule
    /// answers when its key matches the call or, for a shell tool, the call's first simple command. An allow rule
    /// answers only a call its key matches that is not `critical` and, for a shell tool, only one simple command
    /// (no chain, pipe, substitution, line break or redirection that writes): anything more goes to the level or
    /// the person.
    std::optional<Vorlix::Behavior> decision(const QString& tool, const QString& detail);
    /// Whether an allow rule may answer this call at all: not `critical` and, for a shell tool, one simple command.
    /// Every kind of allow rule asks this, so none is a back door the others close.
    static bool allowMayAnswer(const QString& tool, const QString& detail);
    /// The "always allow" offer for a call, on one line: `Always allow commands starting with "npm test"` for a
    /// shell tool, `Always allow "Write: /src/a.c"` for any other.
    static QString offerLabel(const QString& tool, const QString& detail);
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
    // Elements of the file we could not read, written back after the rules.
    nlohmann::json m_unreadable = nlohmann::json::array();
};
