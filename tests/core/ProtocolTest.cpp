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
        {"PreToolUse", Canonical::preToolUse},     {"preToolUse", Canonical::preToolUse},
        {"pre_tool_use", Canonical::preToolUse},   {"PRE_TOOL_USE", Canonical::preToolUse},
        {"pre__tool__use", Canonical::preToolUse}, {"", Canonical::other},
        {"pre-tool-use", Canonical::other},        {"Pre Tool Use", Canonical::other},
        {"SubagentStop", Canonical::other},
    };
    for (const auto& [raw, expected] : cases)
        EXPECT_EQ(canonicalize(raw), expected) << raw;
}

TEST(IsGating, OnlyTheListedCombinationsWait) {
    const std::tuple<Source, Canonical, std::optional<std::string>, bool> cases[] = {
        {Source::claude, Canonical::preToolUse, std::string("Bash"), false},
        {Source::claude, Canonical::preToolUse, std::nullopt, false},
        // Questions and plans wait once, at their permission request.
        {Source::claude, Canonical::preToolUse, std::string("ExitPlanMode"), false},
        {Source::claude, Canonical::preToolUse, std::string("AskUserQuestion"), false},
        {Source::claude, Canonical::permissionRequest, std::string("AskUserQuestion"), true},
        {Source::codex, Canonical::permissionRequest, std::nullopt, true},
        {Source::grok, Canonical::preToolUse, std::nullopt, true},
        {Source::grok, Canonical::permissionRequest, std::nullopt, false},
        {Source::kiro, Canonical::preToolUse, std::string("Bash"), true},
        {Source::kiro, Canonical::permissionRequest, std::string("Bash"), false},
    };
    for (const auto& [source, event, tool, gating] : cases)
        EXPECT_EQ(isGating(source, event, tool), gating)
            << rawValue(source) << " " << rawValue(event) << " " << tool.value_or("-");
}

TEST(JSONValue, PreviewFollowsTheDisplayRules) {
    const std::pair<const char*, const char*> cases[] = {
        {R"({"path":"/p","command":"ls -la"})", "ls -la"},
        {R"({"b":1,"a":2})", "a,b"},
        {R"({})", ""},
        {R"(["ls","-la"])", "ls, -la"},
        {R"({"command":["git","status"]})", "git, status"},
        {R"({"file_path":"/x/y.cpp","content":"..."})", "/x/y.cpp"},
        {R"({"pattern":"TODO","url":"u"})", "TODO"},
        {"5", "5.0"},
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

TEST(JSONValue, DecodesAndEncodesBackToTheSameJson) {
    const char* text = R"({"a":[1,2.5,"x",null,false],"b":{"c":-3}})";
    auto value = JSONValue::parse(text);
    EXPECT_EQ(value->dump(), text);
    EXPECT_EQ((*value)["b"]->find("c")->numberValue(), -3);
    EXPECT_FALSE((*value)["x"]);
    EXPECT_FALSE((*(*value)["a"])["n"]) << "an array has no members";
    for (const char* bad : {"{", "", "[1] trailing"})
        EXPECT_FALSE(JSONValue::parse(bad)) << bad;
    // Copies are whole and independent of the original.
    JSONValue copy(*value), assigned("x");
    assigned = copy;
    value.reset();
    EXPECT_EQ(copy.dump(), text);
    EXPECT_EQ(assigned.dump(), copy.dump());
    // Invalid UTF-8 from an agent is replaced, never thrown on.
    JSONValue bad(std::string("a\xff"));
    EXPECT_NO_THROW(bad.dump());
}

TEST(Decision, CodingKeepsAbsentMessagesAbsent) {
    EXPECT_EQ(Decision{Behavior::allow}.toLine(), R"({"behavior":"allow"})");
    EXPECT_EQ(Decision::fromLine(R"({"behavior":"deny","message":null,"extra":1})"), Decision{Behavior::deny});
    EXPECT_EQ(Decision::fromLine(R"({"behavior":"allow","message":"m"})")->message, "m");
    // An answered question's input travels whole; a line without it is read as before.
    const Decision answered{Behavior::allow, std::nullopt, JSONValue::parse(R"({"q":[1],"answers":{"Q?":"A, B"}})")};
    EXPECT_EQ(Decision::fromLine(answered.toLine()), answered);
    EXPECT_FALSE(Decision::fromLine(R"({"behavior":"allow"})")->updatedInput);
    for (const char* bad :
         {R"({"behavior":"Allow"})", R"({})", R"({"behavior":1})", R"({"behavior":"deny","message":3})",
          R"({"behavior":"allow","updatedInput":"x"})", "[]", "not json", ""})
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

// Absent optionals stay absent on the wire. (Every field's round trip: the real payloads' test.)
TEST(Event, MinimalEventWritesOnlyTheRequiredKeys) {
    EXPECT_EQ(
        nlohmann::json::parse(sampleEvent().toLine()),
        nlohmann::json::parse(R"({"event":"permissionRequest","gating":true,"id":"ID","rawEvent":"PermissionRequest",)"
                              R"("source":"codex","terminal":{"ppid":42},"ts":1765000000.25})"));
}

TEST(Event, DecodingFailsAsAWholeOnAnyBadRequiredField) {
    const auto good = nlohmann::json::parse(sampleEvent().toLine());
    for (const char* key : {"id", "source", "event", "rawEvent", "gating", "terminal", "ts"}) {
        auto j = good;
        j.erase(key);
        EXPECT_FALSE(Event::fromLine(j.dump())) << key;
    }
    // Members replaced: a wrong type or value fails the whole event, a null optional or an unknown key does not.
    const auto patched = [&](const char* patch) {
        auto j = good;
        j.update(nlohmann::json::parse(patch));
        return Event::fromLine(j.dump()).has_value();
    };
    for (const char* patch :
         {R"({"event":"PreToolUse"})", R"({"source":"Claude"})", R"({"gating":1})", R"({"ts":"now"})", R"({"cwd":7})",
          R"({"terminal":{}})", R"({"terminal":{"ppid":1,"tmuxPane":3}})", R"({"terminal":{"ppid":4294967296}})"})
        EXPECT_FALSE(patched(patch)) << patch;
    EXPECT_TRUE(patched(R"({"cwd":null,"unknownKey":"ignored"})"));
    // Lines stay readable both ways: an older bridge's terminal lacks the socket facts, a newer one may add facts.
    EXPECT_TRUE(patched(R"({"terminal":{"ppid":1,"laterFact":[1]}})"));
    EXPECT_FALSE(Event::fromLine("[1,2]"));
}
