#pragma once

#include "risk/Risk.h"

/// Whether a call no rule answered may go through without asking: the user's level (−1 ask about
/// everything, 0 read-only, 1 trusted) reaches the rank of the call's risk.
class AutoApprovePolicy final {
public:
    static bool allows(int autoApproveLevel, const RiskVerdict& verdict) {
        return autoApproveLevel >= rank(verdict.level);
    }
};
