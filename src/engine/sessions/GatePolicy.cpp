#include "sessions/GatePolicy.h"

#include "risk/RiskEngine.h"
#include "sessions/ContextMeter.h"
#include "sessions/PlanFile.h"

RiskVerdict GatePolicy::assess(const QString& tool, const QString& detail, const std::optional<QString>& cwd) const {
    return RiskEngine::assess(tool, detail, cwd);
}

std::optional<Vorlix::Behavior> GatePolicy::ruleDecision(const QString&, const QString&, const RiskVerdict&) const {
    return std::nullopt;
}

bool GatePolicy::autoApproves(const RiskVerdict&) const {
    return false;
}

bool GatePolicy::personCanAnswer() const {
    return true;
}

void GatePolicy::record(const AuditEntry&) {}

std::optional<ContextUsage> GatePolicy::readContext(const QString& transcript, qint64 limit) const {
    return ContextMeter::read(transcript, limit);
}

std::optional<QString> GatePolicy::readPlan(const QString& transcript) const {
    return PlanFile::forTranscript(transcript);
}
