#include "BridgeProcess.h"
#include "TempHome.h"

#include <QDate>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {
BridgeProcess::EnvChanges appEnv(const std::string& home, BridgeProcess::EnvChanges extra = {}) {
    BridgeProcess::EnvChanges env = {{"HOME", home},
                                     {"GROK_HOOK_EVENT", std::nullopt},
                                     {"GROK_SESSION_ID", std::nullopt},
                                     {"VORLIX_REMOTE", std::nullopt},
                                     {"DISPLAY", std::nullopt},
                                     {"WAYLAND_DISPLAY", std::nullopt}};
    for (auto& [k, v] : extra)
        env[k] = v;
    return env;
}

// The headless application as a child process, its log read line by line.
struct App {
    Running running;
    std::string log;

    App(const std::string& home, BridgeProcess::EnvChanges extra = {}) {
        BridgeProcess::start({VORLIX_APP_PATH, "--headless"}, "", appEnv(home, std::move(extra)), running);
    }
    ~App() {
        if (running.pid > 0) {
            running.kill();
            running.finish();
        }
    }
    bool waitForLog(const std::string& text, int timeoutMs = 20000) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (log.find(text) == std::string::npos) {
            if (std::chrono::steady_clock::now() > deadline)
                return false;
            pollfd fd{running.errFD, POLLIN, 0};
            if (::poll(&fd, 1, 100) > 0) {
                char buffer[4096];
                ssize_t n = ::read(running.errFD, buffer, sizeof buffer);
                if (n <= 0)
                    return false;
                log.append(buffer, static_cast<std::size_t>(n));
            }
        }
        return true;
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

// Nothing headless can put a question to a person: a call no rule or policy answers is handed back at once.
TEST(HeadlessApp, AnswersARealBridgeJournalsItAndCleansUpOnTerm) {
    TempHome home;
    App app(home.path());
    ASSERT_TRUE(app.waitForLog("Vorlix Agents listening on " + home.path() + "/.vorlix-agents/run/vorlix.sock"))
        << app.log;
    auto answer = BridgeProcess::bridge("claude", gitStatus, appEnv(home.path()));
    EXPECT_EQ(answer.exitStatus, 0);
    EXPECT_NE(answer.out.find(R"x("message":"Vorlix Agents: auto-approved (safe)")x"), std::string::npos) << answer.out;

    const std::string journal = slurp(fs::path(home.path()) / ".vorlix-agents/audit" / (today() + ".jsonl"));
    EXPECT_NE(journal.find(R"("kind":"auto-allowed")"), std::string::npos) << journal;
    EXPECT_NE(journal.find(R"("detail":"git status")"), std::string::npos);

    const auto handedBack = BridgeProcess::bridge(
        "claude",
        R"({"hook_event_name":"PermissionRequest","tool_name":"Bash","session_id":"s1","tool_input":{"command":"rm -rf build"}})",
        appEnv(home.path()));
    EXPECT_EQ(handedBack.exitStatus, 0);
    EXPECT_EQ(handedBack.out + handedBack.err, "");
    EXPECT_TRUE(app.waitForLog("no panel or phone page can answer; claude asks in its terminal (Bash, session s1)\n"))
        << app.log;

    auto result = app.stop(SIGTERM);
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_FALSE(fs::exists(fs::path(home.path()) / ".vorlix-agents/run/vorlix.sock"));
}

// A FIFO or a device in place of a data file once hung the start before the socket opened, so every gate failed
// open unseen. Each is now set aside and the application answers as usual.
TEST(HeadlessApp, StartsAndAnswersWhateverSitsInPlaceOfItsDataFiles) {
    const std::pair<std::string, bool> cases[] = {
        {".vorlix-agents/data/rules.json", true},
        {".vorlix-agents/data/rules.json", false},
        {".vorlix-agents/data/game.json", true},
        {".config/vorlix-agents/preferences.json", true},
        {".vorlix-agents/audit/" + today() + ".jsonl", true},
    };
    for (const auto& [file, fifo] : cases) {
        SCOPED_TRACE(file + (fifo ? " as a FIFO" : " as a link to /dev/zero"));
        TempHome home;
        const fs::path path = fs::path(home.path()) / file;
        fs::create_directories(path.parent_path());
        if (fifo)
            ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
        else
            fs::create_symlink("/dev/zero", path);
        App app(home.path());
        ASSERT_TRUE(app.waitForLog("Vorlix Agents up.")) << app.log;
        const auto answer = BridgeProcess::bridge("claude", gitStatus, appEnv(home.path()), 2000);
        EXPECT_NE(answer.out.find("auto-approved (safe)"), std::string::npos) << answer.out << app.log;
        EXPECT_NE(app.log.find(path.string() + " is unusable (not a regular file); moved to"), std::string::npos)
            << app.log;
        EXPECT_EQ(app.stop(SIGTERM).exitStatus, 0);
    }
}

TEST(HeadlessApp, CommandLineToolsNeverTakeTheSocket) {
    TempHome home;
    auto assess = BridgeProcess::run({VORLIX_APP_PATH, "assess", "Bash", "rm -rf build"}, "", appEnv(home.path()));
    EXPECT_NE(assess.out.find("recursive/forced delete"), std::string::npos) << assess.out;

    auto usage = BridgeProcess::run({VORLIX_APP_PATH, "frobnicate"}, "", appEnv(home.path()));
    EXPECT_EQ(usage.exitStatus, 2);
    EXPECT_NE(usage.err.find("usage:"), std::string::npos);

    fs::create_directories(fs::path(home.path()) / ".claude");
    auto install = BridgeProcess::run({VORLIX_APP_PATH, "install", "claude"}, "", appEnv(home.path()));
    EXPECT_EQ(install.exitStatus, 0) << install.err;
    auto hooks = BridgeProcess::run({VORLIX_APP_PATH, "hooks"}, "", appEnv(home.path()));
    EXPECT_NE(hooks.out.find("watching"), std::string::npos) << hooks.out;
    EXPECT_TRUE(fs::exists(fs::path(home.path()) / ".vorlix-agents/bin/vorlix-bridge"));
    EXPECT_FALSE(fs::exists(fs::path(home.path()) / ".vorlix-agents/run"));
}
