#include "TempHome.h"

#include <cstdlib>
#include <filesystem>
#include <stdexcept>

namespace {

// Short base paths: socket paths under them must stay well below the 103-byte limit.
std::string makeFolder(std::string pattern) {
    if (mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("mkdtemp failed");
    return pattern;
}

} // namespace

TempHome::TempHome() : m_path(makeFolder("/tmp/vh-XXXXXX")), m_runtime(makeFolder("/tmp/vr-XXXXXX")) {
    for (const char* name : {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_STATE_HOME",
                             "XDG_DESKTOP_DIR", "XDG_RUNTIME_DIR"}) {
        const char* old = std::getenv(name);
        m_saved.emplace_back(name, old != nullptr ? std::optional<std::string>(old) : std::nullopt);
        unsetenv(name);
    }
    setenv("HOME", m_path.c_str(), 1);
    // A runtime folder of its own (mkdtemp makes it 0700), as a login session has: nothing of the caller's (its
    // bus) shows through, and the home holds only what the test put there.
    setenv("XDG_RUNTIME_DIR", m_runtime.c_str(), 1);
}

TempHome::~TempHome() {
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
    std::filesystem::remove_all(m_runtime, ignored);
    for (const auto& [name, value] : m_saved) {
        if (value)
            setenv(name.c_str(), value->c_str(), 1);
        else
            unsetenv(name.c_str());
    }
}
