#include "TempHome.h"

#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <vector>

TempHome::TempHome() {
    // Short base path: socket paths under it must stay well below the 103-byte limit.
    std::string pattern = "/tmp/vh-XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (mkdtemp(buffer.data()) == nullptr)
        throw std::runtime_error("mkdtemp failed");
    m_path = buffer.data();
    if (const char* old = std::getenv("HOME")) {
        m_hadHome = true;
        m_oldHome = old;
    }
    setenv("HOME", m_path.c_str(), 1);
    for (const char* name :
         {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_STATE_HOME", "XDG_DESKTOP_DIR", "XDG_RUNTIME_DIR"})
        unsetenv(name);
}

TempHome::~TempHome() {
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
    if (m_hadHome)
        setenv("HOME", m_oldHome.c_str(), 1);
    else
        unsetenv("HOME");
}
