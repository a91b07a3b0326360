#include "HookPayload.h"
#include "AgentAnswer.h"
#include "BridgeProcess.h"

#include <gtest/gtest.h>
#include <map>
#include <nlohmann/json.hpp>

using namespace Vorlix;

namespace {
HookPayload::Environment envOf(std::map<std::string, std::string> values) {
    return [values](const char* name) -> std::optional<std::string> {
        auto it = values.find(name);
        if (it == values.end())
            return std::nullopt;
        return it->second;
    };
}

Event fromFixture(const std::string& file, Source source, const HookPayload::Environment& env = envOf({})) {
    auto payload = JSONValue::parse(readFixture(file));
    EXPECT_TRUE(payload) << file;
    return HookPayload::event(*payload, source, env, "ID", TerminalContext{}, 1.0);
}
} // namespace

TEST(HookPayload, SourceComesFromTheFirstSourceOptionAndGrokVariablesWin) {
    const auto none = envOf({});
    using Args = std::vector<std::string_view>;
    EXPECT_EQ(HookPayload::source(Args{"bridge"}, none), Source::claude);
    EXPECT_EQ(HookPayload::source(Args{"bridge", "--source", "codex"}, none), Source::codex);
    EXPECT_EQ(HookPayload::source(Args{"bridge", "--source"}, none), Source::claude);
    EXPECT_EQ(HookPayload::source(Args{"bridge", "--source", "Codex"}, none), Source::claude);
    EXPECT_EQ(HookPayload::source(Args{"bridge", "--source", "kiro", "--source", "codex"}, none), Source::kiro);
    EXPECT_EQ(HookPayload::source(Args{"bridge", "--source", "codex"}, envOf({{"GROK_SESSION_ID", ""}})), Source::grok);
    EXPECT_EQ(HookPayload::source(Args{"bridge"}, envOf({{"GROK_HOOK_EVENT", "x"}})), Source::grok);
}

// Every real payload we captured turns into the event the agents mean.
TEST(HookPayload, RealAgentPayloadsBecomeTheirEvents) {
    struct Case {
        const char* file;
        Source source;
        Canonical event;
        bool gating;
        std::optional<std::string> tool;
    } cases[] = {
        {"claude/SessionStart.json", Source::claude, Canonical::sessionStart, false, std::nullopt},
        {"claude/UserPromptSubmit.json", Source::claude, Canonical::userPromptSubmit, false, std::nullopt},
        {"claude/PreToolUse.json", Source::claude, Canonical::preToolUse, false, "Bash"},
        {"claude/PermissionRequest.json", Source::claude, Canonical::permissionRequest, true, "Bash"},
        {"claude/PostToolUse.json", Source::claude, Canonical::postToolUse, false, "Bash"},
        {"claude/Notification.json", Source::claude, Canonical::notification, false, std::nullopt},
        {"claude/Notification-idle_prompt.json", Source::claude, Canonical::notification, false, std::nullopt},
        {"claude/Stop.json", Source::claude, Canonical::stop, false, std::nullopt},
        {"claude/SessionEnd.json", Source::claude, Canonical::sessionEnd, false, std::nullopt},
        {"claude/print-mode/PermissionRequest.json", Source::claude, Canonical::permissionRequest, true, "Bash"},
        {"claude/print-mode/SessionEnd.json", Source::claude, Canonical::sessionEnd, false, std::nullopt},
        {"codex/SessionStart.json", Source::codex, Canonical::sessionStart, false, std::nullopt},
        {"codex/UserPromptSubmit.json", Source::codex, Canonical::userPromptSubmit, false, std::nullopt},
        {"codex/PreToolUse.json", Source::codex, Canonical::preToolUse, false, "Bash"},
        {"codex/PermissionRequest.json", Source::codex, Canonical::permissionRequest, true, "Bash"},
        {"codex/PostToolUse.json", Source::codex, Canonical::postToolUse, false, "Bash"},
        {"codex/Stop.json", Source::codex, Canonical::stop, false, std::nullopt},
        {"codex/SessionEnd.json", Source::codex, Canonical::sessionEnd, false, std::nullopt},
        {"codex/tui/PermissionRequest.json", Source::codex, Canonical::permissionRequest, true, "Bash"},
        {"codex/tui/PreToolUse.json", Source::codex, Canonical::preToolUse, false, "Bash"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        const auto raw = nlohmann::json::parse(readFixture(c.file));
        Event e = fromFixture(c.file, c.source);
        EXPECT_EQ(e.event, c.event);
        EXPECT_EQ(e.rawEvent, raw["hook_event_name"].get<std::string>());
        EXPECT_EQ(e.gating, c.gating);
        EXPECT_EQ(e.toolName, c.tool);
        EXPECT_EQ(e.sessionID, raw["session_id"].get<std::string>());
        EXPECT_EQ(e.cwd, raw["cwd"].get<std::string>());
        EXPECT_EQ(e.transcriptPath, raw["transcript_path"].get<std::string>());
        EXPECT_EQ(e.toolInput.has_value(), raw.contains("tool_input"));
        // The line the bridge would send decodes back to the same event.
        auto back = Event::fromLine(e.toLine());
        ASSERT_TRUE(back);
        EXPECT_EQ(back->toLine(), e.toLine());
    }
    EXPECT_EQ(fromFixture("claude/PermissionRequest.json", Source::claude).toolInput->preview(),
              "echo hi > marker.txt");
}

TEST(HookPayload, MissingOrMistypedMembersFallBack) {
    auto event = [](const char* json, const HookPayload::Environment& env) {
        return HookPayload::event(*JSONValue::parse(json), Source::grok, env, "ID", TerminalContext{}, 0);
    };
    const auto none = envOf({});
    auto e = event(R"({"session_id":7,"hookEventName":"Stop"})", none);
    EXPECT_FALSE(e.sessionID);
    EXPECT_EQ(e.rawEvent, "Stop");
    // Grok variables fill in what the payload lacks, but never override it.
    e = event(R"({"toolName":"Bash"})", envOf({{"GROK_HOOK_EVENT", "pre_tool_use"}, {"GROK_SESSION_ID", "g1"}}));
    EXPECT_EQ(e.rawEvent, "pre_tool_use");
    EXPECT_EQ(e.event, Canonical::preToolUse);
    EXPECT_TRUE(e.gating);
    EXPECT_EQ(e.sessionID, "g1");
    e = event(R"({"session_id":"own","hook_event_name":"Stop"})", envOf({{"GROK_SESSION_ID", "g1"}}));
    EXPECT_EQ(e.sessionID, "own");
    // A present key of the wrong type is missing; the second name is not tried.
    e = event(R"({"cwd":1,"workspaceRoot":"/w","tool_input":null})", none);
    EXPECT_FALSE(e.cwd);
    ASSERT_TRUE(e.toolInput);
    EXPECT_TRUE(e.toolInput->isNull());
    e = event("[1,2,3]", none);
    EXPECT_EQ(e.rawEvent, "unknown");
    EXPECT_EQ(e.event, Canonical::other);
    EXPECT_FALSE(e.gating);
}

TEST(AgentAnswer, EachAgentGetsItsOwnForm) {
    const Decision allow{Behavior::allow};
    const Decision denyWith{Behavior::deny, std::string("no way")};
    auto json = [](const AgentAnswer& a) { return nlohmann::json::parse(a.out); };

    auto a = AgentAnswer::forDecision(Source::claude, Canonical::permissionRequest, denyWith);
    EXPECT_EQ(
        json(a),
        nlohmann::json::parse(
            R"({"hookSpecificOutput":{"hookEventName":"PermissionRequest","decision":{"behavior":"deny","message":"no way"}}})"));
    a = AgentAnswer::forDecision(Source::codex, Canonical::preToolUse, allow);
    EXPECT_EQ(
        json(a),
        nlohmann::json::parse(
            R"({"hookSpecificOutput":{"hookEventName":"PreToolUse","permissionDecision":"allow","permissionDecisionReason":"Approved in Vorlix Agents"}})"));
    a = AgentAnswer::forDecision(Source::grok, Canonical::preToolUse, allow);
    EXPECT_EQ(a.out, R"({"decision":"allow"})");
    a = AgentAnswer::forDecision(Source::grok, Canonical::preToolUse, Decision{Behavior::deny});
    EXPECT_EQ(json(a), nlohmann::json::parse(R"({"decision":"deny","reason":"Denied in Vorlix Agents"})"));
    a = AgentAnswer::forDecision(Source::kiro, Canonical::preToolUse, Decision{Behavior::deny});
    EXPECT_EQ(a.out, "");
    EXPECT_EQ(a.err, "Denied in Vorlix Agents");
    EXPECT_EQ(a.exitStatus, 2);
    a = AgentAnswer::forDecision(Source::kiro, Canonical::preToolUse, allow);
    EXPECT_EQ(a.out + a.err, "");
    EXPECT_EQ(a.exitStatus, 0);
    for (Source s : allSources)
        EXPECT_EQ(AgentAnswer::forDecision(s, Canonical::preToolUse, allow).out.find('\n'), std::string::npos);
}
