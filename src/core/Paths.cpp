#include "Paths.h"

#include <cstdlib>
#include <pwd.h>
#include <unistd.h>
#include <vector>

namespace Vorlix {

std::string homeDir() {
    if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0')
        return home;
    long size = sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? static_cast<std::size_t>(size) : 16384);
    passwd entry{};
    passwd* result = nullptr;
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &result) == 0 && result != nullptr &&
        result->pw_dir != nullptr)
        return result->pw_dir;
    return "/";
}

std::string runDir() {
    std::string home = homeDir();
    if (home.empty() || home.back() != '/')
        home += '/';
    return home + ".vorlix-agents/run";
}

std::string socketPath() {
    return runDir() + "/vorlix.sock";
}

} // namespace Vorlix
