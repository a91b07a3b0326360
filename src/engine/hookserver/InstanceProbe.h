#pragma once

#include <QString>
#include <string>
#include <sys/types.h>

/// What sits at the socket path: nothing, a socket nobody answers on (left by a crash), a running application
/// (its pid from the kernel, SO_PEERCRED, so no pid file can go stale), or something that is no socket at all.
class InstanceProbe final {
public:
    enum class State { absent, stale, running, blocked };

    struct Result {
        State state = State::absent;
        pid_t pid = 0;
        /// For `blocked`: what is there, in words ("a folder", "a regular file" ...).
        QString what;
    };

    static Result probe(const std::string& path);
    /// "Vorlix Agents is running (pid N)" or "Vorlix Agents is not running — ...", for `hooks`.
    static QString statusLine(const Result& result);
};
