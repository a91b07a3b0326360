#include "AgentAnswer.h"

#include "JsonFields.h"

namespace Vorlix {

std::string AgentAnswer::reason(const Decision& decision) {
    if (decision.message)
        return *decision.message;
    return decision.behavior == Behavior::allow ? "Approved in Vorlix Agents" : "Denied in Vorlix Agents";
}

AgentAnswer AgentAnswer::forDecision(Source source, Canonical event, const Decision& decision) {
    const std::string behavior(rawValue(decision.behavior));
    const std::string text = reason(decision);
    AgentAnswer answer;
    switch (source) {
    case Source::claude:
    case Source::codex: {
        nlohmann::json inner;
        if (event == Canonical::permissionRequest && decision.updatedInput) {
            // The agent runs the call with this input, so no reason text goes with it (as with its own dialog).
            inner = {{"hookEventName", "PermissionRequest"},
                     {"decision", {{"behavior", behavior}, {"updatedInput", decision.updatedInput->toJson()}}}};
        } else if (event == Canonical::permissionRequest) {
            inner = {{"hookEventName", "PermissionRequest"}, {"decision", {{"behavior", behavior}, {"message", text}}}};
        } else {
            inner = {
                {"hookEventName", "PreToolUse"}, {"permissionDecision", behavior}, {"permissionDecisionReason", text}};
        }
        answer.out = JsonFields::compact({{"hookSpecificOutput", inner}});
        break;
    }
    case Source::grok: {
        nlohmann::json json = {{"decision", behavior}};
        if (decision.behavior == Behavior::deny)
            json["reason"] = text;
        answer.out = JsonFields::compact(json);
        break;
    }
    case Source::kiro:
        if (decision.behavior == Behavior::deny) {
            answer.err = text;
            answer.exitStatus = 2;
        }
        break;
    }
    return answer;
}

} // namespace Vorlix
