#include "TempHome.h"

#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <sys/stat.h>

TempHome::TempHome() {
    // Short base path: socket paths under it must stay well below the 103-byte limit.
    m_path = "/tmp/vh-XXXXXX";
    if (mkdtemp(m_path.data()) == nullptr)
        throw std::runtime_error("mkdtemp failed");
    for (const char* name : {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_STATE_HOME",
                             "XDG_DESKTOP_DIR", "XDG_RUNTIME_DIR"}) {
        const char* old = std::getenv(name);
        m_saved.emplace_back(name, old != nullptr ? std::optional<std::string>(old) : std::nullopt);
        unsetenv(name);
    }
    setenv("HOME", m_path.c_str(), 1);
    // A runtime folder of its own, as a login session has: nothing of the caller's (its bus) shows through.
    const std::string runtime = m_path + "/.run";
    if (mkdir(runtime.c_str(), 0700) != 0)
        throw std::runtime_error("mkdir failed");
    setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
}

TempHome::~TempHome() {
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
    for (const auto& [name, value] : m_saved) {
        if (value)
            setenv(name.c_str(), value->c_str(), 1);
        else
            unsetenv(name.c_str());
    }
}
