#include "TestEnvironment.h"

#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>

namespace {
std::string& runtimeDir() {
    static std::string path;
    return path;
}

void removeRuntimeDir() {
    std::error_code ignored;
    std::filesystem::remove_all(runtimeDir(), ignored);
}
} // namespace

void TestEnvironment::isolate() {
    // An address libdbus cannot parse fails at once instead of autolaunching a bus.
    setenv("DBUS_SESSION_BUS_ADDRESS", "disabled:", 1);
    unsetenv("WAYLAND_DISPLAY");
    std::string pattern = "/tmp/vr-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("mkdtemp failed");
    runtimeDir() = pattern;
    setenv("XDG_RUNTIME_DIR", pattern.c_str(), 1);
    std::atexit(removeRuntimeDir);
}
