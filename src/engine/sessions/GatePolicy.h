#pragma once

#include "Decision.h"
#include "audit/AuditEntry.h"
#include "risk/Risk.h"
#include "sessions/ContextUsage.h"

#include <QString>
#include <optional>

/// What the session store asks of the application about a call: how risky it is, whether a rule or the
/// auto-approve level answers it, whether a person could answer it now, and where its record goes. Each answer
/// defaults to the neutral one (the real classifier and transcript reader, no rule, no auto-approval, a person
/// can answer, nothing recorded), so a store without a policy holds every call for a person.
class GatePolicy {
public:
    GatePolicy() = default;
    GatePolicy(const GatePolicy&) = delete;
    GatePolicy& operator=(const GatePolicy&) = delete;
    virtual ~GatePolicy() = default;

    virtual RiskVerdict assess(const QString& tool, const QString& detail, const std::optional<QString>& cwd) const;
    /// A stored rule's answer to this call, if one applies.
    virtual std::optional<Vorlix::Behavior> ruleDecision(const QString& tool, const QString& detail,
                                                         const RiskVerdict& verdict) const;
    /// Whether the person's auto-approve level lets this call through unasked.
    virtual bool autoApproves(const RiskVerdict& verdict) const;
    /// Whether the panel or the phone page could put a question to the person now. When not, a call that no rule
    /// or level answered gets no decision, so the agent asks in its own terminal.
    virtual bool personCanAnswer() const;
    /// The audit sink: every tool run and every decision.
    virtual void record(const AuditEntry& entry);
    virtual std::optional<ContextUsage> readContext(const QString& transcript, qint64 limit) const;
    /// The plan the session with this transcript asks to have approved.
    virtual std::optional<QString> readPlan(const QString& transcript) const;
};
