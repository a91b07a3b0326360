#include "terminal/ProcessTree.h"

#include <cstdio>
#include <fcntl.h>
#include <string>
#include <unistd.h>

std::optional<pid_t> ProcessTree::parentOf(pid_t pid) {
    if (pid <= 0)
        return std::nullopt;
    const std::string path = "/proc/" + std::to_string(pid) + "/stat";
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    char buffer[1024];
    const ssize_t size = ::read(fd, buffer, sizeof buffer - 1);
    ::close(fd);
    if (size <= 0)
        return std::nullopt;
    const std::string stat(buffer, static_cast<std::size_t>(size));
    // "pid (comm) state ppid ...": the name may hold blanks and parentheses, so read after its last ")".
    const auto close = stat.rfind(')');
    if (close == std::string::npos)
        return std::nullopt;
    char state = 0;
    long parent = 0;
    if (std::sscanf(stat.c_str() + close + 1, " %c %ld", &state, &parent) != 2 || parent < 0)
        return std::nullopt;
    return static_cast<pid_t>(parent);
}

std::vector<pid_t> ProcessTree::lineage(pid_t pid) {
    std::vector<pid_t> chain;
    // Bounded: pid reuse while we read could in theory link a loop.
    while (pid > 1 && chain.size() < 128) {
        chain.push_back(pid);
        const auto parent = parentOf(pid);
        if (!parent)
            break;
        pid = *parent;
    }
    return chain;
}
