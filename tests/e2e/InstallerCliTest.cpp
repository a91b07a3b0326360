#include "BridgeProcess.h"
#include "TempHome.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {

// The installer through the real program, as a person types it. No agent program is on its PATH.
class InstallerCliTest : public ::testing::Test {
protected:
    TempHome home;

    BridgeProcess::Result run(const std::vector<std::string>& args) {
        std::vector<std::string> command{VORLIX_APP_PATH};
        command.insert(command.end(), args.begin(), args.end());
        return BridgeProcess::run(command, "",
                                  {{"HOME", home.path()},
                                   {"PATH", home.path() + "/bin"},
                                   {"DISPLAY", std::nullopt},
                                   {"WAYLAND_DISPLAY", std::nullopt}},
                                  20000);
    }
};

// Through the real program too: a FIFO or a device in place of the agent's file is refused in time, untouched.
TEST_F(InstallerCliTest, AFileThatIsNotRegularIsRefusedWithoutBlocking) {
    const fs::path settings = fs::path(home.path()) / ".claude/settings.json";
    fs::create_directories(settings.parent_path());
    ASSERT_EQ(::mkfifo(settings.c_str(), 0600), 0);
    for (const bool fifo : {true, false}) {
        const BridgeProcess::Result result = run({"install", "claude"});
        EXPECT_EQ(result.exitStatus, 1) << (result.timedOut ? "blocked" : "");
        EXPECT_EQ(result.err, "Failed: .claude/settings.json is not a regular file \u2014 refusing to overwrite it.\n");
        EXPECT_TRUE(fifo ? fs::is_fifo(settings) : fs::is_symlink(settings));
        fs::remove(settings);
        fs::create_symlink("/dev/zero", settings);
    }
}

TEST_F(InstallerCliTest, OnlyWhatHappenedIsClaimed) {
    const struct {
        std::vector<std::string> args;
        int exitStatus;
        std::string out, err;
    } cases[] = {
        {{"install", "codex"},
         1,
         "",
         "Failed: Codex is not on this machine (no ~/.codex, no codex on PATH), so nothing was changed. Add --force "
         "to install its hooks anyway.\n"},
        {{"install", "--force", "codex"},
         0,
         "Installed hooks for Codex. Open Codex and trust them in /hooks \u2014 Codex runs no hook until you do.\n",
         ""},
        {{"uninstall", "codex"}, 0, "Removed hooks for Codex.\n", ""},
        {{"uninstall", "codex"}, 1, "", "Nothing to remove: Codex has no hooks of ours in .codex/hooks.json.\n"},
        {{"hooks"},
         0,
         "claude  Claude Code  not installed on this machine\n"
         "codex   Codex        hooks not installed\n"
         "grok    Grok Build   not installed on this machine\n",
         ""},
        {{"install", "--force"}, 2, "", ""},
    };
    for (const auto& c : cases) {
        const BridgeProcess::Result result = run(c.args);
        SCOPED_TRACE(c.args.front() + " " + c.args.back());
        EXPECT_EQ(result.exitStatus, c.exitStatus);
        // Whatever else `hooks` says, its agent lines come together.
        EXPECT_TRUE(c.out.empty() ? result.out.empty() : result.out.find(c.out) != std::string::npos) << result.out;
        if (c.exitStatus != 2) {
            EXPECT_EQ(result.err, c.err);
        }
    }
}

} // namespace
