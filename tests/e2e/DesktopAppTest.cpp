#include "BridgeProcess.h"
#include "TempHome.h"

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <unistd.h>

namespace fs = std::filesystem;

// Runs under xvfb-run: DISPLAY names a real X server.
namespace {

struct Case {
    const char* name;
    std::vector<std::string> arguments;
    BridgeProcess::EnvChanges env;
    bool desktop; // a screen is measured only on the desktop
};

TEST(DesktopApp, StartsAsATrayApplicationAndLeavesNoSocketOnTerm) {
    ASSERT_NE(std::getenv("DISPLAY"), nullptr) << "run under xvfb-run";
    const Case cases[] = {
        {"desktop", {VORLIX_APP_PATH}, {{"WAYLAND_DISPLAY", std::nullopt}}, true},
        {"headless by choice", {VORLIX_APP_PATH, "--headless"}, {}, false},
    };
    for (const Case& c : cases) {
        TempHome home;
        BridgeProcess::EnvChanges env = {{"HOME", home.path()},
                                         {"QT_QPA_PLATFORM", std::nullopt},
                                         {"VORLIX_REMOTE", std::nullopt},
                                         {"VORLIX_SETTINGS", std::nullopt}};
        for (const auto& [key, value] : c.env)
            env[key] = value;
        Running running;
        BridgeProcess::start(c.arguments, "", env, running);
        std::string log;
        running.readErrUntil(log, "Vorlix Agents up.");
        const std::string upLine = "Vorlix Agents up. notch=false w=0 h=32 screen=";
        const auto up = log.find(upLine);
        ASSERT_NE(up, std::string::npos) << c.name << "\n" << log;
        const bool measured = log.compare(up + upLine.size(), 2, "0\n") != 0;
        EXPECT_EQ(measured, c.desktop) << c.name << "\n" << log;
        const fs::path socket = fs::path(home.path()) / ".vorlix-agents/run/vorlix.sock";
        EXPECT_TRUE(fs::exists(socket)) << c.name;
        // A second desktop start hands over to the running instance instead of taking its socket.
        const BridgeProcess::Result second = BridgeProcess::run({VORLIX_APP_PATH}, "", env, 30000);
        EXPECT_EQ(second.exitStatus, c.desktop ? 0 : 1) << c.name << "\n" << second.err;
        EXPECT_NE(second.err.find(c.desktop ? "; its settings window is open\n" : " without a display;"),
                  std::string::npos)
            << c.name << "\n"
            << second.err;

        ::kill(running.pid, SIGTERM);
        const BridgeProcess::Result result = running.finish();
        EXPECT_EQ(result.exitStatus, 0) << c.name << "\n" << log << result.err;
        EXPECT_FALSE(fs::exists(socket)) << c.name;
    }
}

} // namespace
