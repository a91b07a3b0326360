#pragma once

/// Makes a test program see what a fresh machine shows, whatever the desktop session that started it has.
namespace TestEnvironment {
/// No session bus (libdbus would try to launch one and leak on exit), no Wayland socket, and a private
/// XDG_RUNTIME_DIR that goes with the program. Tests that need a bus start their own; CTest leaves DISPLAY only to
/// the tests that run under xvfb-run.
void isolate();
} // namespace TestEnvironment
