#include "HookPayload.h"
#include "AgentAnswer.h"
#include "BridgeProcess.h"

#include <filesystem>
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
    // Every event of both agents, from interactive, print-mode and terminal sessions, and the tools' requests.
    const std::filesystem::path root = VORLIX_AGENT_FIXTURES;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
        const std::string file = std::filesystem::relative(entry.path(), root).string();
        // Not payloads: Codex's trust files and our own answers.
        if (entry.path().extension() != ".json" || file.find("/trust/") != std::string::npos ||
            file.find("answer-") != std::string::npos)
            continue;
        SCOPED_TRACE(file);
        const auto raw = nlohmann::json::parse(readFixture(file));
        const Event e = fromFixture(file, file.starts_with("codex") ? Source::codex : Source::claude);
        // The spellings themselves are the canonical table's business; here every agent name must be known.
        EXPECT_NE(e.event, Canonical::other);
        EXPECT_EQ(e.event, canonicalize(e.rawEvent));
        // Only the permission requests wait, those of plans and questions included.
        EXPECT_EQ(e.gating, e.event == Canonical::permissionRequest);
        EXPECT_EQ(e.toolName,
                  raw.contains("tool_name") ? std::optional(raw["tool_name"].get<std::string>()) : std::nullopt);
        EXPECT_EQ(e.rawEvent, raw["hook_event_name"].get<std::string>());
        EXPECT_EQ(e.sessionID, raw["session_id"].get<std::string>());
        EXPECT_EQ(e.cwd, raw["cwd"].get<std::string>());
        EXPECT_EQ(e.transcriptPath, raw["transcript_path"].get<std::string>());
        EXPECT_EQ(e.toolInput.has_value(), raw.contains("tool_input"));
        // The line the bridge would send decodes back to the same event.
        auto back = Event::fromLine(e.toLine());
        ASSERT_TRUE(back);
        EXPECT_EQ(back->toLine(), e.toLine());
    }
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
    // A final answer longer than the cap is cut before a whole character (the real ones: the store's test).
    const std::string longAnswer = std::string(Event::messageLimit - 1, 'a') + "\u00e9tude";
    e = event(("{\"last_assistant_message\":\"" + longAnswer + "\",\"message\":\"x\"}").c_str(), none);
    EXPECT_EQ(e.message, std::string(Event::messageLimit - 1, 'a'));
    e = event("[1,2,3]", none);
    EXPECT_EQ(e.rawEvent, "unknown");
    EXPECT_EQ(e.event, Canonical::other);
    EXPECT_FALSE(e.gating);
}

TEST(AgentAnswer, EachAgentGetsItsOwnForm) {
    const Decision allow{Behavior::allow}, deny{Behavior::deny}, denyWith{Behavior::deny, std::string("no way")};
    const std::tuple<Source, Canonical, Decision, std::string, std::string, int> cases[] = {
        {Source::claude, Canonical::permissionRequest, denyWith,
         R"({"hookSpecificOutput":{"hookEventName":"PermissionRequest","decision":{"behavior":"deny","message":"no way"}}})",
         "", 0},
        {Source::codex, Canonical::preToolUse, allow,
         R"({"hookSpecificOutput":{"hookEventName":"PreToolUse","permissionDecision":"allow","permissionDecisionReason":"Approved in Vorlix Agents"}})",
         "", 0},
        {Source::grok, Canonical::preToolUse, allow, R"({"decision":"allow"})", "", 0},
        {Source::grok, Canonical::preToolUse, deny, R"({"decision":"deny","reason":"Denied in Vorlix Agents"})", "", 0},
        {Source::kiro, Canonical::preToolUse, deny, "", "Denied in Vorlix Agents", 2},
        {Source::kiro, Canonical::preToolUse, allow, "", "", 0},
    };
    for (const auto& [source, event, decision, out, err, status] : cases) {
        const AgentAnswer a = AgentAnswer::forDecision(source, event, decision);
        // One line of JSON, compared as JSON; the key order is the agents' business.
        EXPECT_EQ(a.out.find('\n'), std::string::npos) << out;
        EXPECT_EQ(out.empty() ? a.out : nlohmann::json::parse(a.out).dump(),
                  out.empty() ? out : nlohmann::json::parse(out).dump());
        EXPECT_EQ(a.err, err) << out;
        EXPECT_EQ(a.exitStatus, status) << out;
    }
}
