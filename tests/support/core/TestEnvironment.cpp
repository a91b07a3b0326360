#include "TestEnvironment.h"

#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>

namespace {
// Removed at exit: atexit handlers run before this static goes.
std::string runtimeDir = "/tmp/vr-XXXXXX";
} // namespace

void TestEnvironment::isolate() {
    // An address libdbus cannot parse fails at once instead of autolaunching a bus.
    setenv("DBUS_SESSION_BUS_ADDRESS", "disabled:", 1);
    unsetenv("WAYLAND_DISPLAY");
    if (mkdtemp(runtimeDir.data()) == nullptr)
        throw std::runtime_error("mkdtemp failed");
    setenv("XDG_RUNTIME_DIR", runtimeDir.c_str(), 1);
    std::atexit([] {
        std::error_code ignored;
        std::filesystem::remove_all(runtimeDir, ignored);
    });
}
