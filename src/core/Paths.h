#pragma once

#include <string>

namespace Vorlix {

/// The user's home directory: $HOME when set and not empty, else the password database.
/// Both programs derive every path from this one function.
std::string homeDir();
/// ~/.vorlix-agents/run
std::string runDir();
/// ~/.vorlix-agents/run/vorlix.sock
std::string socketPath();

} // namespace Vorlix
