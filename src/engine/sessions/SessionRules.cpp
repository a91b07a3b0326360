#include "sessions/SessionRules.h"

#include "risk/RiskEngine.h"
#include "risk/RuleStore.h"
#include "sessions/GateDetail.h"

#include <algorithm>

bool SessionRules::offered(const QString& tool, const QString& detail, const RiskVerdict& verdict) {
    // The verdict knows the session's folder, the rule store's own check does not: both must agree. A question or a
    // plan is the person's own say each time.
    return verdict.level != Risk::critical && RuleStore::allowMayAnswer(tool, detail) &&
           GateDetail::askLabel(tool).isEmpty();
}

bool SessionRules::add(const QString& sessionID, const QString& project, const QString& tool, const QString& detail,
                       const RiskVerdict& verdict) {
    if (!offered(tool, detail, verdict))
        return false;
    const QString key = RiskEngine::ruleKey(tool, detail);
    if (std::none_of(m_rules.cbegin(), m_rules.cend(),
                     [&](const Rule& r) { return r.sessionID == sessionID && r.key == key; })) {
        m_rules.append(Rule{sessionID, key, project, 0});
        emit rulesChanged();
    }
    return true;
}

bool SessionRules::answers(const QString& sessionID, const QString& tool, const QString& detail,
                           const RiskVerdict& verdict) {
    const QString key = RiskEngine::ruleKey(tool, detail);
    const auto rule = std::find_if(m_rules.begin(), m_rules.end(),
                                   [&](const Rule& r) { return r.sessionID == sessionID && r.key == key; });
    if (rule == m_rules.end() || !offered(tool, detail, verdict))
        return false;
    if (rule->timesFired < INT64_MAX)
        ++rule->timesFired;
    emit rulesChanged();
    return true;
}

void SessionRules::forget(const QString& sessionID, const QString& key) {
    if (m_rules.removeIf([&](const Rule& r) { return r.sessionID == sessionID && r.key == key; }) > 0)
        emit rulesChanged();
}

void SessionRules::endSession(const QString& sessionID) {
    if (m_rules.removeIf([&](const Rule& r) { return r.sessionID == sessionID; }) > 0)
        emit rulesChanged();
}
