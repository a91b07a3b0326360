#pragma once

/// The application's name as Qt knows it; set identically by every entry point and test, since the
/// preferences folder (~/.config/vorlix-agents) is derived from it.
class AppIdentity final {
public:
    static void apply();
};
