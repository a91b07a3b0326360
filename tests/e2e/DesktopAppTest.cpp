#include "BridgeProcess.h"
#include "EventLoop.h"
#include "TempHome.h"

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>

namespace fs = std::filesystem;

// Runs under xvfb-run: DISPLAY names a real X server. (Headless start and stop: the headless app test.)
TEST(DesktopApp, StartsAsATrayApplicationAndLeavesNoSocketOnTerm) {
    ASSERT_NE(std::getenv("DISPLAY"), nullptr) << "run under xvfb-run";
    TempHome home;
    const BridgeProcess::EnvChanges env = {{"HOME", home.path()},
                                           {"QT_QPA_PLATFORM", std::nullopt},
                                           {"WAYLAND_DISPLAY", std::nullopt},
                                           {"VORLIX_REMOTE", std::nullopt},
                                           {"VORLIX_SETTINGS", std::nullopt}};
    Running running;
    BridgeProcess::start({VORLIX_APP_PATH}, "", env, running);
    std::string log;
    // The desktop measures its screen; screen=0 would mean it started headless.
    const std::string upLine = "Vorlix Agents up. notch=false w=0 h=32 screen=";
    ASSERT_TRUE(running.readErrUntil(log, upLine)) << log;
    EXPECT_NE(log.compare(log.find(upLine) + upLine.size(), 2, "0\n"), 0) << log;
    const fs::path socket = fs::path(home.path()) / ".vorlix-agents/run/vorlix.sock";
    EXPECT_TRUE(fs::exists(socket));
    // A second desktop start hands over to the running instance instead of taking its socket. The control socket
    // opens just after the "up" line.
    waitUntil([&socket] { return fs::exists(socket.parent_path() / "control.sock"); });
    const BridgeProcess::Result second = BridgeProcess::run({VORLIX_APP_PATH}, "", env, 30000);
    EXPECT_EQ(second.exitStatus, 0) << second.err;
    EXPECT_NE(second.err.find("; its settings window is open\n"), std::string::npos) << second.err;

    ::kill(running.pid, SIGTERM);
    const BridgeProcess::Result result = running.finish();
    EXPECT_EQ(result.exitStatus, 0) << log << result.err;
    EXPECT_FALSE(fs::exists(socket));
}
