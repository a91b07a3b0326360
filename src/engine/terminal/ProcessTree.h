#pragma once

#include <optional>
#include <sys/types.h>
#include <vector>

/// Parent links between processes, read from /proc.
class ProcessTree final {
public:
    /// The parent of a process; nothing when it is gone or cannot be read.
    static std::optional<pid_t> parentOf(pid_t pid);
    /// The process, its parent, and so on up to but not including init.
    static std::vector<pid_t> lineage(pid_t pid);
};
