#include "BridgeProcess.h"
#include "TempHome.h"

#include <QDate>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {
BridgeProcess::EnvChanges appEnv(const std::string& home) {
    return {
        {"HOME", home}, {"VORLIX_REMOTE", std::nullopt}, {"DISPLAY", std::nullopt}, {"WAYLAND_DISPLAY", std::nullopt}};
}

// The headless application as a child process, its log read line by line.
struct App {
    Running running;
    std::string log;

    explicit App(const std::string& home) {
        BridgeProcess::start({VORLIX_APP_PATH, "--headless"}, "", appEnv(home), running);
    }
    ~App() {
        if (running.pid > 0) {
            running.kill();
            running.finish();
        }
    }
    bool waitForLog(const std::string& text, int timeoutMs = 20000) {
        return running.readErrUntil(log, text, timeoutMs);
    }
    BridgeProcess::Result stop(int signal) {
        ::kill(running.pid, signal);
        auto result = running.finish();
        running.pid = -1;
        return result;
    }
};

const std::string gitStatus = R"({"hook_event_name":"PermissionRequest","tool_name":"Bash","session_id":"s1",)"
                              R"("cwd":"/home/dev/work","tool_input":{"command":"git status"}})";

std::string today() {
    return QDate::currentDate().toString(Qt::ISODate).toStdString();
}

std::string slurp(const fs::path& path) {
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), {});
}
} // namespace

// One running application, the way a person meets it.
TEST(HeadlessApp, AnswersBridgesHoldsTheSocketAppliesEditsAndCleansUp) {
    TempHome home;
    const fs::path socket = fs::path(home.path()) / ".vorlix-agents/run/vorlix.sock";
    const fs::path prefs = fs::path(home.path()) / ".config/vorlix-agents/preferences.json";
    App app(home.path());
    ASSERT_TRUE(app.waitForLog("Vorlix Agents listening on " + socket.string())) << app.log;
    const auto approved = [&home] {
        const auto answer = BridgeProcess::bridge("claude", gitStatus, appEnv(home.path()));
        return answer.exitStatus == 0 &&
               answer.out.find(R"x("message":"Vorlix Agents: auto-approved (safe)")x") != std::string::npos;
    };
    EXPECT_TRUE(approved());
    const std::string journal = slurp(fs::path(home.path()) / ".vorlix-agents/audit" / (today() + ".jsonl"));
    EXPECT_NE(journal.find(R"("kind":"auto-allowed")"), std::string::npos) << journal;
    EXPECT_NE(journal.find(R"("detail":"git status")"), std::string::npos);

    // Nothing headless can put a question to a person: a call no rule or policy answers is handed back.
    const auto handedBack = BridgeProcess::bridge(
        "claude",
        R"({"hook_event_name":"PermissionRequest","tool_name":"Bash","session_id":"s1","tool_input":{"command":"rm -rf build"}})",
        appEnv(home.path()));
    EXPECT_EQ(handedBack.exitStatus, 0);
    EXPECT_EQ(handedBack.out + handedBack.err, "");
    EXPECT_TRUE(app.waitForLog("no panel or phone page can answer; claude asks in its terminal (Bash, session s1)\n"))
        << app.log;

    // A second copy once took the socket over and left the first one deaf, every hook failing open unseen.
    const std::string pid = std::string("(pid ").append(std::to_string(app.running.pid)).append(")");
    const auto second = BridgeProcess::run({VORLIX_APP_PATH, "--headless"}, "", appEnv(home.path()), 20000);
    EXPECT_EQ(second.exitStatus, 1);
    EXPECT_EQ(second.err, std::string("Vorlix Agents is already running ").append(pid).append("\n"));
    const auto hooks = BridgeProcess::run({VORLIX_APP_PATH, "hooks"}, "", appEnv(home.path()));
    EXPECT_EQ(hooks.out.substr(0, hooks.out.find('\n')), std::string("Vorlix Agents is running ").append(pid));
    fs::remove(socket);
    ASSERT_TRUE(app.waitForLog(std::string("removed or replaced; listening again on ").append(socket.string())))
        << app.log;
    EXPECT_TRUE(approved());

    // Whoever edits the preferences (config set, a text editor), the next gate follows them.
    auto set =
        BridgeProcess::run({VORLIX_APP_PATH, "config", "set", "autoApproveLevel", "-1"}, "", appEnv(home.path()));
    ASSERT_EQ(set.exitStatus, 0) << set.err;
    ASSERT_TRUE(app.waitForLog("preferences applied: autoApproveLevel 0 -> -1\n", 5000)) << app.log;
    EXPECT_FALSE(approved());
    std::ofstream(prefs) << R"({"autoApproveLevel": 0, "soundEnabled": false, "notifyWhenWaiting": false})";
    ASSERT_TRUE(app.waitForLog("preferences applied: soundEnabled true -> false, notifyWhenWaiting true -> false, "
                               "autoApproveLevel -1 -> 0\n",
                               5000))
        << app.log;
    EXPECT_TRUE(approved());
    std::ofstream(prefs) << R"({"autoApproveLevel": -1,)";
    ASSERT_TRUE(app.waitForLog("preferences unchanged; the edited file could not be used", 5000)) << app.log;
    EXPECT_TRUE(approved());
    EXPECT_FALSE(fs::exists(prefs));

    EXPECT_EQ(app.stop(SIGTERM).exitStatus, 0);
    EXPECT_FALSE(fs::exists(socket));
}

// A FIFO or a device in place of a data file once hung the start, so every gate failed open unseen.
TEST(HeadlessApp, StartsAndAnswersWhateverSitsInPlaceOfItsDataFiles) {
    // A JSON store and the journal (every store and every kind of file: the stores' own test).
    const std::pair<std::string, std::string> cases[] = {
        {".vorlix-agents/data/rules.json", " is unusable (not a regular file); moved to"},
        {".vorlix-agents/audit/" + today() + ".jsonl", " is not a regular file; not read"},
    };
    for (const auto& [file, logged] : cases) {
        SCOPED_TRACE(file);
        TempHome home;
        const fs::path path = fs::path(home.path()) / file;
        fs::create_directories(path.parent_path());
        ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
        App app(home.path());
        ASSERT_TRUE(app.waitForLog("Vorlix Agents up.")) << app.log;
        const auto answer = BridgeProcess::bridge("claude", gitStatus, appEnv(home.path()), 2000);
        EXPECT_NE(answer.out.find("auto-approved (safe)"), std::string::npos) << answer.out << app.log;
        EXPECT_NE(app.log.find(path.string() + logged), std::string::npos) << app.log;
        EXPECT_EQ(app.stop(SIGTERM).exitStatus, 0);
    }
}

TEST(HeadlessApp, CommandLineToolsAnswerLikeUnixToolsAndNeverTakeTheSocket) {
    TempHome home;
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string out, err;
    };
    const Case cases[] = {
        {{VORLIX_APP_PATH, "--help"}, 0, "  config set NAME VALUE     change a preference", ""},
        {{VORLIX_APP_PATH, "--version"}, 0, "VorlixAgents 1.", ""},
        {{VORLIX_APP_PATH, "frobnicate"}, 2, "", "VorlixAgents: unknown command 'frobnicate'\nusage: VorlixAgents"},
        {{VORLIX_APP_PATH, "config", "set", "autoApproveLevel", "2"}, 2, "", "takes -1, 0 or 1, not '2'"},
        {{VORLIX_APP_PATH, "config"}, 0, "autoApproveLevel   0      highest risk rank", ""},
        {{VORLIX_APP_PATH, "config", "set", "soundEnabled", "false"}, 0, "soundEnabled = false\n", ""},
        {{VORLIX_APP_PATH, "config"}, 0, "soundEnabled       false", ""},
        {{VORLIX_APP_PATH, "hooks"},
         0,
         "Vorlix Agents is not running \u2014 hooks let every call through unanswered\nclaude",
         ""},
        {{VORLIX_BRIDGE_PATH, "--version"}, 0, "vorlix-bridge 1.", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args[1] + (c.args.size() > 2 ? " " + c.args[2] : ""));
        const auto result = BridgeProcess::run(c.args, "", appEnv(home.path()));
        EXPECT_EQ(result.exitStatus, c.status) << result.err;
        EXPECT_NE(result.out.find(c.out), std::string::npos) << result.out;
        EXPECT_NE(result.err.find(c.err), std::string::npos) << result.err;
        if (c.status == 2) {
            EXPECT_EQ(result.out, "");
        }
    }
    EXPECT_EQ(slurp(fs::path(home.path()) / ".config/vorlix-agents/preferences.json"),
              "{\n  \"soundEnabled\": false\n}\n");
    EXPECT_FALSE(fs::exists(fs::path(home.path()) / ".vorlix-agents/run"));
}