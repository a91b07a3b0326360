#include "BridgeProcess.h"
#include "Event.h"
#include "LineServer.h"
#include "Paths.h"
#include "TempHome.h"

#include <atomic>
#include <condition_variable>
#include <gtest/gtest.h>
#include <mutex>
#include <nlohmann/json.hpp>

using namespace Vorlix;

namespace {
const std::string permissionRequest = readFixture("claude/PermissionRequest.json");
const std::string codexPermission = readFixture("codex/PermissionRequest.json");
const std::string preToolUse = readFixture("claude/PreToolUse.json");
const std::string kiroPreToolUse =
    R"({"hook_event_name":"preToolUse","tool_name":"execute_bash","tool_input":{"command":"ls"}})";
const std::string exitPlan = R"({"hook_event_name":"PreToolUse","tool_name":"ExitPlanMode","session_id":"s"})";

// Keeps the environment of the test's own shell (TMUX_PANE, GROK_*) out of the bridge's view.
BridgeProcess::EnvChanges cleanEnv(BridgeProcess::EnvChanges extra = {}) {
    BridgeProcess::EnvChanges env = {{"GROK_HOOK_EVENT", std::nullopt}, {"GROK_SESSION_ID", std::nullopt}};
    for (auto& [k, v] : extra)
        env[k] = v;
    return env;
}

LineServer::Responder reply(std::string line) {
    return [line](const std::string&) { return std::optional<std::string>(line); };
}

nlohmann::json parsed(const std::string& out) {
    return nlohmann::json::parse(out);
}
} // namespace

// The forms themselves are the answer builder's; here the real bridge carries a reply line to stdout, stderr and
// its exit status, for a permission request and a gating pre-tool-use.
TEST(Bridge, EachAgentPrintsItsAnswerForAllowAndDeny) {
    TempHome home;
    struct Case {
        const char* source;
        std::string payload;
        std::string replyLine;
        std::string expectOut;
        std::string expectErr;
        int status;
    } cases[] = {
        {"codex", codexPermission, R"({"behavior":"deny","message":"Vorlix Agents: matched your rule"})",
         R"({"hookSpecificOutput":{"decision":{"behavior":"deny","message":"Vorlix Agents: matched your rule"},"hookEventName":"PermissionRequest"}})",
         "", 0},
        {"claude", exitPlan, R"({"behavior":"allow"})",
         R"({"hookSpecificOutput":{"hookEventName":"PreToolUse","permissionDecision":"allow","permissionDecisionReason":"Approved in Vorlix Agents"}})",
         "", 0},
        {"kiro", kiroPreToolUse, R"({"behavior":"deny","message":"Vorlix Agents: no response, denied by default"})", "",
         "Vorlix Agents: no response, denied by default", 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.source) + " " + c.replyLine);
        LineServer server(socketPath(), reply(c.replyLine));
        auto result = BridgeProcess::bridge(c.source, c.payload, cleanEnv());
        EXPECT_EQ(result.exitStatus, c.status);
        EXPECT_EQ(result.err, c.expectErr);
        if (c.expectOut.empty())
            EXPECT_EQ(result.out, "");
        else
            EXPECT_EQ(parsed(result.out), parsed(c.expectOut));
        EXPECT_EQ(result.out.find('\n'), std::string::npos);
        ASSERT_EQ(server.lines().size(), 1u);
        auto event = Event::fromLine(server.lines()[0]);
        ASSERT_TRUE(event);
        EXPECT_TRUE(event->gating);
        EXPECT_EQ(event->source, *sourceFromRaw(c.source));
    }
}

TEST(Bridge, SendsAWellFormedEventWithTerminalFacts) {
    TempHome home;
    LineServer server(socketPath(), [](const std::string&) { return std::nullopt; });
    auto result = BridgeProcess::bridge(
        "codex", readFixture("codex/PostToolUse.json"),
        cleanEnv({{"TMUX_PANE", ""}, {"TERM_PROGRAM", "tmux"}, {"KITTY_WINDOW_ID", std::nullopt}}));
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_EQ(result.out + result.err, "");
    ASSERT_TRUE(server.waitForLines(1));
    auto event = Event::fromLine(server.lines()[0]);
    ASSERT_TRUE(event);
    EXPECT_EQ(event->event, Canonical::postToolUse);
    EXPECT_FALSE(event->gating);
    EXPECT_EQ(event->terminal.tmuxPane, "");
    EXPECT_EQ(event->terminal.termProgram, "tmux");
    EXPECT_FALSE(event->terminal.kittyWindowID);
    EXPECT_EQ(event->terminal.ppid, getpid());
    EXPECT_EQ(event->id.size(), 36u);
    EXPECT_EQ(event->id[14], '4');
    for (char c : event->id)
        EXPECT_TRUE((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || c == '-') << event->id;
    EXPECT_GT(event->ts, 1.7e9);
}

TEST(Bridge, GrokVariablesOverrideTheSourceOption) {
    TempHome home;
    LineServer server(socketPath(), reply(R"({"behavior":"allow"})"));
    auto result = BridgeProcess::bridge("codex", R"({"hook_event_name":"PreToolUse","tool_name":"Bash"})",
                                        cleanEnv({{"GROK_SESSION_ID", "grok-7"}}));
    EXPECT_EQ(result.out, R"({"decision":"allow"})");
    auto event = Event::fromLine(server.lines().at(0));
    EXPECT_EQ(event->source, Source::grok);
    EXPECT_EQ(event->sessionID, "grok-7");
}

TEST(Bridge, NonGatingEventsExitWithoutWaitingForAReply) {
    TempHome home;
    std::mutex mutex;
    std::condition_variable released;
    bool release = false;
    // The stand-in holds every connection open until the bridge has finished: a bridge that read would hang.
    LineServer server(socketPath(), [&](const std::string&) {
        std::unique_lock lock(mutex);
        released.wait_for(lock, std::chrono::seconds(20), [&] { return release; });
        return std::optional<std::string>(R"({"behavior":"deny"})");
    });
    auto result = BridgeProcess::bridge("claude", preToolUse, cleanEnv(), 10000);
    {
        std::lock_guard lock(mutex);
        release = true;
    }
    released.notify_all();
    EXPECT_FALSE(result.timedOut);
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_EQ(result.out + result.err, "");
}

// Every failure ends with status 0 and no output; malformed input sends nothing, a document that is no object
// still goes as an event without members.
TEST(Bridge, FailsOpenSilently) {
    TempHome home;
    std::string deep = home.path();
    while (deep.size() < 120)
        deep += "/dddddddddd";
    const std::string deny = R"({"behavior":"deny"})";
    struct Case {
        const char* name;
        std::optional<std::string> replyLine; // nullopt: no server at all
        std::string payload;
        bool sent;
        BridgeProcess::EnvChanges env;
    } cases[] = {
        {"nobody listens", std::nullopt, permissionRequest, false, {}},
        {"socket path too long", deny, permissionRequest, false, {{"HOME", deep}}},
        {"closed without reply", std::string("__close__"), permissionRequest, true, {}},
        {"malformed reply", std::string("{not json"), permissionRequest, true, {}},
        {"unknown behaviour", std::string(R"({"behavior":"Allow"})"), permissionRequest, true, {}},
        {"reply not an object", std::string("[]"), permissionRequest, true, {}},
        {"empty stdin", deny, "", false, {}},
        {"stdin not json", deny, "{\"hook_event_name\":", false, {}},
        {"array payload", deny, "[1,2]", true, {}},
        {"deeply nested payload", deny, std::string(100000, '['), false, {}},
        {"invalid utf-8 payload",
         deny,
         "{\"hook_event_name\":\"PermissionRequest\",\"tool_name\":\"Bash\",\"cwd\":\"\xff\xfe\"}",
         false,
         {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::optional<LineServer> server;
        if (c.replyLine)
            server.emplace(socketPath(), [line = *c.replyLine](const std::string&) {
                return line == "__close__" ? std::nullopt : std::optional<std::string>(line);
            });
        auto result = BridgeProcess::bridge("kiro", c.payload, cleanEnv(c.env));
        EXPECT_FALSE(result.timedOut);
        EXPECT_EQ(result.exitStatus, 0);
        EXPECT_EQ(result.out, "");
        EXPECT_EQ(result.err, "");
        if (!server)
            continue;
        if (!c.sent) {
            EXPECT_TRUE(server->lines().empty());
            continue;
        }
        ASSERT_TRUE(server->waitForLines(1));
        auto event = Event::fromLine(server->lines()[0]);
        ASSERT_TRUE(event);
        EXPECT_EQ(event->rawEvent == "unknown", c.payload == "[1,2]");
    }
}
