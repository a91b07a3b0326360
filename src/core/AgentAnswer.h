#pragma once

#include "Canonical.h"
#include "Decision.h"
#include "Source.h"

#include <string>

namespace Vorlix {

/// What the bridge prints for a decision, in the form each agent understands.
struct AgentAnswer {
    std::string out;
    std::string err;
    int exitStatus = 0;

    static AgentAnswer forDecision(Source source, Canonical event, const Decision& decision);
    /// The message when present, else the default text for the behaviour.
    static std::string reason(const Decision& decision);
};

} // namespace Vorlix
