#include "Canonical.h"
#include "Decision.h"
#include "Event.h"
#include "Hook.h"
#include "JSONValue.h"
#include "Source.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

using namespace Vorlix;

TEST(Canonicalize, EveryAgentSpellingLandsOnOneCase) {
    const std::pair<const char*, Canonical> cases[] = {
        {"PreToolUse", Canonical::preToolUse},
        {"preToolUse", Canonical::preToolUse},
        {"pre_tool_use", Canonical::preToolUse},
        {"PRE_TOOL_USE", Canonical::preToolUse},
        {"pre__tool__use", Canonical::preToolUse},
        {"Stop", Canonical::stop},
        {"SessionStart", Canonical::sessionStart},
        {"session_end", Canonical::sessionEnd},
        {"userPromptSubmit", Canonical::userPromptSubmit},
        {"PostToolUse", Canonical::postToolUse},
        {"PermissionRequest", Canonical::permissionRequest},
        {"notification", Canonical::notification},
        {"unknown", Canonical::other},
        {"", Canonical::other},
        {"pre-tool-use", Canonical::other},
        {"Pre Tool Use", Canonical::other},
        {"SubagentStop", Canonical::other},
    };
    for (const auto& [raw, expected] : cases)
        EXPECT_EQ(canonicalize(raw), expected) << raw;
}

TEST(IsGating, OnlyTheListedCombinationsWait) {
    const std::string plan = "ExitPlanMode";
    struct Case {
        Source source;
        Canonical event;
        std::optional<std::string> tool;
        bool gating;
    } cases[] = {
        {Source::claude, Canonical::preToolUse, std::string("Bash"), false},
        {Source::claude, Canonical::preToolUse, std::nullopt, false},
        {Source::claude, Canonical::preToolUse, plan, true},
        {Source::claude, Canonical::preToolUse, std::string("AskUserQuestion"), true},
        {Source::claude, Canonical::preToolUse, std::string("exitplanmode"), false},
        {Source::codex, Canonical::permissionRequest, std::nullopt, true},
        {Source::claude, Canonical::postToolUse, plan, false},
        {Source::grok, Canonical::preToolUse, std::nullopt, true},
        {Source::grok, Canonical::permissionRequest, std::nullopt, false},
        {Source::kiro, Canonical::preToolUse, std::string("Bash"), true},
        {Source::kiro, Canonical::permissionRequest, std::string("Bash"), false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(isGating(c.source, c.event, c.tool), c.gating)
            << rawValue(c.source) << " " << rawValue(c.event) << " " << c.tool.value_or("-");
}

TEST(RawValues, ExactCaseSensitiveMatchesOnly) {
    EXPECT_EQ(sourceFromRaw("codex"), Source::codex);
    EXPECT_FALSE(sourceFromRaw("Claude"));
    EXPECT_FALSE(sourceFromRaw(" claude"));
    EXPECT_EQ(displayName(Source::grok), "Grok Build");
    EXPECT_EQ(displayName(Source::kiro), "Kiro CLI");
    EXPECT_FALSE(canonicalFromRaw("PreToolUse"));
    EXPECT_EQ(canonicalFromRaw("permissionRequest"), Canonical::permissionRequest);
    EXPECT_FALSE(behaviorFromRaw("Allow"));
}

TEST(Field, FirstPresentKeyDecidesEvenWhenItIsNotAString) {
    auto payload = *JSONValue::parse(R"({"hook_event_name":5,"hookEventName":"Stop"})");
    auto value = field(payload, {"hook_event_name", "hookEventName"});
    ASSERT_TRUE(value);
    EXPECT_EQ(value->kind(), JSONValue::Kind::Number);
    EXPECT_FALSE(value->stringValue());
    EXPECT_EQ(field(payload, {"missing", "hookEventName"})->stringValue(), "Stop");
    EXPECT_FALSE(field(*JSONValue::parse("[1,2]"), {"a"}));
    EXPECT_FALSE(field(*JSONValue::parse(R"("text")"), {"a"}));
    EXPECT_FALSE(field(*JSONValue::parse("{}"), {"a"}));
    auto withNull = field(*JSONValue::parse(R"({"a":null})"), {"a"});
    ASSERT_TRUE(withNull);
    EXPECT_TRUE(withNull->isNull());
}

TEST(JSONValue, DecodesEveryKindInOrder) {
    auto value = JSONValue::parse(R"([1, true, "s", null, {"n": 2.5}])");
    ASSERT_TRUE(value);
    const auto& a = value->array();
    ASSERT_EQ(a.size(), 5u);
    EXPECT_EQ(a[0].kind(), JSONValue::Kind::Number);
    EXPECT_EQ(a[1].kind(), JSONValue::Kind::Bool);
    EXPECT_EQ(a[2].kind(), JSONValue::Kind::String);
    EXPECT_EQ(a[3].kind(), JSONValue::Kind::Null);
    EXPECT_EQ(a[4]["n"]->numberValue(), 2.5);
    EXPECT_FALSE(a[4]["x"]);
    EXPECT_FALSE((*value)["n"]);
    EXPECT_FALSE(JSONValue::parse("{"));
    EXPECT_FALSE(JSONValue::parse(""));
    EXPECT_FALSE(JSONValue::parse("[1] trailing"));
}

TEST(JSONValue, PreviewFollowsTheDisplayRules) {
    const std::pair<const char*, const char*> cases[] = {
        {R"({"path":"/p","command":"ls -la"})", "ls -la"},
        {R"({"b":1,"a":2})", "a,b"},
        {R"({})", ""},
        {R"(["ls","-la"])", "ls, -la"},
        {R"([])", ""},
        {R"({"command":["git","status"]})", "git, status"},
        {R"({"file_path":"/x/y.cpp","content":"..."})", "/x/y.cpp"},
        {R"({"pattern":"TODO","url":"u"})", "TODO"},
        {"5", "5.0"},
        {"2.5", "2.5"},
        {"-0.1", "-0.1"},
        {"true", "true"},
        {"null", "null"},
        {R"("plain")", "plain"},
        {R"({"command":null})", "null"},
    };
    for (const auto& [json, preview] : cases)
        EXPECT_EQ(JSONValue::parse(json)->preview(), preview) << json;
}

TEST(JSONValue, NestingBeyondTheLimitIsMalformedButBracketsInStringsDoNotCount) {
    const int limit = JSONValue::maxDepth;
    EXPECT_TRUE(JSONValue::parse(std::string(limit, '[') + std::string(limit, ']')));
    EXPECT_FALSE(JSONValue::parse(std::string(limit + 1, '[') + std::string(limit + 1, ']')));
    EXPECT_TRUE(JSONValue::parse(R"({"s":")" + std::string(2000, '[') + R"(\""})"));
    // A megabyte of nesting must not recurse the stack away.
    EXPECT_FALSE(JSONValue::parse(std::string(1 << 20, '[')));
}

TEST(JSONValue, EncodesBackToEquivalentJson) {
    auto value = JSONValue::parse(R"({"a":[1,2.5,"x",null,false],"b":{"c":-3}})");
    auto again = JSONValue::parse(value->dump());
    EXPECT_EQ(nlohmann::json::parse(value->dump()), nlohmann::json::parse(again->dump()));
    EXPECT_EQ(value->dump(), R"({"a":[1,2.5,"x",null,false],"b":{"c":-3}})");
    // Copies are whole and independent of the original.
    JSONValue copy(*value);
    JSONValue assigned = JSONValue("x");
    assigned = copy;
    value.reset();
    EXPECT_EQ(copy.dump(), R"({"a":[1,2.5,"x",null,false],"b":{"c":-3}})");
    EXPECT_EQ(assigned.dump(), copy.dump());
    // Invalid UTF-8 from an agent is replaced, never thrown on.
    JSONValue bad(std::string("a\xff"));
    EXPECT_NO_THROW(bad.dump());
}

TEST(Decision, CodingKeepsAbsentMessagesAbsent) {
    EXPECT_EQ(Decision{Behavior::allow}.toLine(), R"({"behavior":"allow"})");
    auto withNull = Decision::fromLine(R"({"behavior":"deny","message":null,"extra":1})");
    ASSERT_TRUE(withNull);
    EXPECT_EQ(withNull->behavior, Behavior::deny);
    EXPECT_FALSE(withNull->message);
    EXPECT_EQ(Decision::fromLine(R"({"behavior":"allow","message":"m"})")->message, "m");
    for (const char* bad : {R"({"behavior":"Allow"})", R"({})", R"({"behavior":1})",
                            R"({"behavior":"deny","message":3})", "[]", "not json", ""})
        EXPECT_FALSE(Decision::fromLine(bad)) << bad;
}

namespace {
Event sampleEvent() {
    Event e;
    e.id = "ID";
    e.source = Source::codex;
    e.event = Canonical::permissionRequest;
    e.rawEvent = "PermissionRequest";
    e.gating = true;
    e.terminal.ppid = 42;
    e.ts = 1765000000.25;
    return e;
}
} // namespace

TEST(Event, MinimalEventWritesExactlyTheRequiredKeys) {
    auto json = nlohmann::json::parse(sampleEvent().toLine());
    std::vector<std::string> keys;
    for (const auto& item : json.items())
        keys.push_back(item.key());
    EXPECT_EQ(keys, (std::vector<std::string>{"event", "gating", "id", "rawEvent", "source", "terminal", "ts"}));
    EXPECT_EQ(json["terminal"], nlohmann::json({{"ppid", 42}}));
}

TEST(Event, RoundTripsEveryField) {
    Event e = sampleEvent();
    e.sessionID = "s";
    e.cwd = "/w";
    e.toolName = "Bash";
    e.toolInput = *JSONValue::parse(R"({"command":"ls","n":null})");
    e.transcriptPath = "/t.jsonl";
    e.terminal.tmuxPane = "";
    e.terminal.termProgram = "tmux";
    auto back = Event::fromLine(e.toLine());
    ASSERT_TRUE(back);
    EXPECT_EQ(back->toLine(), e.toLine());
    EXPECT_EQ(back->terminal.tmuxPane, "");
    EXPECT_TRUE(back->toolInput->find("n")->isNull());
}

TEST(Event, DecodingFailsAsAWholeOnAnyBadRequiredField) {
    const auto good = nlohmann::json::parse(sampleEvent().toLine());
    auto without = [&](const char* key) {
        auto j = good;
        j.erase(key);
        return j.dump();
    };
    auto with = [&](const char* key, nlohmann::json value) {
        auto j = good;
        j[key] = value;
        return j.dump();
    };
    for (const char* key : {"id", "source", "event", "rawEvent", "gating", "terminal", "ts"})
        EXPECT_FALSE(Event::fromLine(without(key))) << key;
    EXPECT_FALSE(Event::fromLine(with("event", "PreToolUse")));
    EXPECT_FALSE(Event::fromLine(with("source", "Claude")));
    EXPECT_FALSE(Event::fromLine(with("gating", 1)));
    EXPECT_FALSE(Event::fromLine(with("ts", "now")));
    EXPECT_FALSE(Event::fromLine(with("cwd", 7)));
    EXPECT_FALSE(Event::fromLine(with("terminal", nlohmann::json::object())));
    EXPECT_FALSE(Event::fromLine(with("terminal", {{"ppid", 1}, {"tmuxPane", 3}})));
    EXPECT_FALSE(Event::fromLine(with("terminal", {{"ppid", 4294967296LL}})));
    EXPECT_TRUE(Event::fromLine(with("cwd", nullptr)));
    EXPECT_TRUE(Event::fromLine(with("unknownKey", "ignored")));
    EXPECT_FALSE(Event::fromLine("[1,2]"));
}
