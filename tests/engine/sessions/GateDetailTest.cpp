#include "sessions/GateDetail.h"
#include "BridgeProcess.h"
#include "sessions/Session.h"

#include <gtest/gtest.h>

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
         JSONValue::parse(
             R"({"questions":[{"question":" Ship it? ","options":[{"label":"Yes"},{"description":"no label"},7]},
                               {"question":"Which checks?","multiSelect":true,"options":[{"label":"lint"}]},
                               {"header":"no question"}]})"),
         "Ship it?\n- Yes\n\nWhich checks?\n- lint\n(several may be chosen)"},
        {"ExitPlanMode", JSONValue::parse(R"({"plan":"# Plan\n\n1. Parse\n2. Report\n"})"),
         "# Plan\n\n1. Parse\n2. Report"},
        // Nothing readable where the text should be: the plain preview, as for any other tool.
        {"AskUserQuestion", JSONValue::parse(R"({"questions":"which?"})"), "questions"},
        {"ExitPlanMode", JSONValue::parse(R"({"plan":42,"x":1})"), "plan,x"},
        {"Bash", JSONValue::parse(R"({"command":"make","plan":"not this"})"), "make"},
        {"Bash", std::nullopt, ""},
        // Characters that reorder or break the text around them are shown as their codes; line breaks stay.
        {"Bash",
         JSONValue::parse(R"({"command":"echo done \u202e; python3 x > hs.ppa nohtyp\u2028\u200f\u061c\u2066ls\nok"})"),
         "echo done \u27e8U+202E\u27e9; python3 x > hs.ppa nohtyp\u27e8U+2028\u27e9\u27e8U+200F\u27e9"
         "\u27e8U+061C\u27e9\u27e8U+2066\u27e9ls\nok"},
        {"AskUserQuestion",
         JSONValue::parse(R"({"questions":[{"question":"Ship \u2067it?","options":[{"label":"Y\u202ds"}]}]})"),
         "Ship \u27e8U+2067\u27e9it?\n- Y\u27e8U+202D\u27e9s"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(GateDetail::text(QString::fromUtf8(c.tool), c.input), QString::fromUtf8(c.text)) << c.text;
    // The project name is one line that cannot pretend to be another.
    EXPECT_EQ(Session::projectName(QString::fromUtf8("/tmp/\u202eevil\nlive/")),
              QString::fromUtf8("\u27e8U+202E\u27e9evil\u27e8U+000A\u27e9live"));
}
