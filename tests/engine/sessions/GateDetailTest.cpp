#include "sessions/GateDetail.h"
#include "BridgeProcess.h"

#include <gtest/gtest.h>

namespace {
std::optional<JSONValue> json(const std::string& text) {
    auto value = JSONValue::parse(text);
    EXPECT_TRUE(value) << text;
    return value;
}
} // namespace

TEST(GateDetail, CardsSayWhatIsAsked) {
    const auto asked = JSONValue::parse(readFixture("claude/tools/PermissionRequest-AskUserQuestion.json"));
    ASSERT_TRUE(asked);
    struct Case {
        const char* tool;
        std::optional<JSONValue> input;
        const char* text;
    } cases[] = {
        {"AskUserQuestion", *asked->find("tool_input"),
         "Which database should the service use?\n- PostgreSQL: Relational, already used by billing\n"
         "- SQLite: Embedded, zero setup"},
        {"AskUserQuestion",
         json(R"({"questions":[{"question":" Ship it? ","options":[{"label":"Yes"},{"description":"no label"},7]},
                               {"question":"Which checks?","multiSelect":true,"options":[{"label":"lint"}]},
                               {"header":"no question"}]})"),
         "Ship it?\n- Yes\n\nWhich checks?\n- lint\n(several may be chosen)"},
        {"ExitPlanMode", json(R"({"plan":"# Plan\n\n1. Parse\n2. Report\n"})"), "# Plan\n\n1. Parse\n2. Report"},
        // Nothing readable where the text should be: the plain preview, as for any other tool.
        {"AskUserQuestion", json(R"({"questions":"which?"})"), "questions"},
        {"AskUserQuestion", json(R"({"questions":[{"options":[]}]})"), "questions"},
        {"ExitPlanMode", json(R"({"plan":42,"x":1})"), "plan,x"},
        {"Bash", json(R"({"command":"make","plan":"not this"})"), "make"},
        {"Bash", std::nullopt, ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(GateDetail::text(QString::fromUtf8(c.tool), c.input), QString::fromUtf8(c.text)) << c.text;
}
