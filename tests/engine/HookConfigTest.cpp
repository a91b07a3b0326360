#include "HookConfig.h"

#include <gtest/gtest.h>

using json = nlohmann::json;
using Vorlix::Source;

namespace {

json entry(const std::string& command) {
    return json{{"type", "command"}, {"command", command}};
}
json groupOf(std::initializer_list<std::string> commands) {
    json hooks = json::array();
    for (const auto& command : commands)
        hooks.push_back(entry(command));
    return json{{"hooks", hooks}};
}

} // namespace

TEST(HookConfigTest, CommandQuotesThePathAndEscapesOnlyASingleQuote) {
    EXPECT_EQ(HookConfig::command("/home/u", Source::codex),
              "'/home/u/.vorlix-agents/bin/vorlix-bridge' --source codex");
    EXPECT_EQ(HookConfig::command("/home/my user $HOME \"x\"", Source::grok),
              "'/home/my user $HOME \"x\"/.vorlix-agents/bin/vorlix-bridge' --source grok");
    EXPECT_EQ(HookConfig::command("/home/o'brien", Source::claude),
              "'/home/o'\\''brien/.vorlix-agents/bin/vorlix-bridge' --source claude");
}

TEST(HookConfigTest, ScanFindsOursAndNamesTheLastForeignTool) {
    struct Case {
        std::vector<std::string> commands;
        bool ours;
        std::optional<std::string> foreign;
    };
    const std::vector<Case> cases{
        {{"/x/vorlix-bridge --source claude"}, true, std::nullopt},
        {{"~/.vibe-island/bridge"}, false, "Vibe Island"},
        {{"notch-hook"}, false, "another notch app"},
        {{"island-thing"}, false, "another notch app"},
        {{"vibe-island", "notch"}, false, "another notch app"},
        {{"VORLIX", "Notch"}, false, std::nullopt}, // case-sensitive
        {{"vibe-island", "vorlix"}, true, "Vibe Island"},
    };
    for (const Case& c : cases) {
        json group = json{{"hooks", json::array()}};
        for (const auto& command : c.commands)
            group["hooks"].push_back(entry(command));
        const HookConfig::Scan scan = HookConfig::scan(json{{"Stop", json::array({group})}});
        EXPECT_EQ(scan.ours, c.ours) << c.commands.front();
        EXPECT_EQ(scan.foreign, c.foreign) << c.commands.front();
    }
    // Shapes that are not groups of entries are looked past, not trusted.
    const json odd = {
        {"Stop", "vorlix"},
        {"Start", json::array({"vorlix", json{{"hooks", "vorlix"}}, json{{"hooks", json::array({"vorlix"})}}})},
        {"End", json::array({json{{"hooks", json::array({json{{"command", 7}}})}}})}};
    EXPECT_EQ(HookConfig::scan(odd), HookConfig::Scan{});
}

TEST(HookConfigTest, MergeRefusesShapesItWouldHaveToThrowAway) {
    const json add = {{"Stop", json::array({groupOf({"vorlix"})})}};
    for (const json& hooks : {json::array(), json("x"), json(nullptr), json{{"Stop", "x"}}, json{{"Stop", {{"a", 1}}}}})
        EXPECT_FALSE(HookConfig::merge(json{{"hooks", hooks}}, add).has_value()) << hooks.dump();
    // An odd event we do not write is none of our business.
    EXPECT_TRUE(HookConfig::merge(json{{"hooks", {{"Elsewhere", "x"}}}}, add).has_value());
}

TEST(HookConfigTest, StripRemovesMatchingEntriesAndWhatTheyLeaveEmpty) {
    const json root = {
        {"hooks",
         {{"Stop", json::array({groupOf({"vorlix", "say hi"}), groupOf({"vorlix"}), json{{"hooks", json::array()}},
                                "not a group", json{{"matcher", "*"}}, json{{"hooks", 3}}})},
          {"Start", json::array({groupOf({"vorlix"})})},
          {"Empty", json::array()},
          {"Odd", "vorlix"}}},
        {"statusLine", {{"command", "vorlix line"}}}};
    const json stripped = *HookConfig::strip(root, "vorlix");
    const json expected = {
        {"Stop", json::array({groupOf({"say hi"}), "not a group", json{{"matcher", "*"}}, json{{"hooks", 3}}})},
        {"Odd", "vorlix"}};
    EXPECT_EQ(stripped.at("hooks"), expected);
    EXPECT_EQ(stripped.at("statusLine"), root.at("statusLine"));

    const json onlyOurs = {{"hooks", {{"Stop", json::array({groupOf({"vorlix"})})}}}, {"model", "x"}};
    EXPECT_EQ(*HookConfig::strip(onlyOurs, "vorlix"), (json{{"model", "x"}}));
    EXPECT_FALSE(HookConfig::strip(json{{"hooks", json::array()}}, "vorlix").has_value());
}

TEST(HookConfigTest, ParseAcceptsOnlyObjectsAndSerializeKeepsEveryValue) {
    for (std::string_view bad : {"", "[]", "3", "{", "{\"a\":\"\xff\"}", "{\"a\":1e400}"})
        EXPECT_FALSE(HookConfig::parseObject(bad).has_value()) << bad;
    EXPECT_FALSE(HookConfig::parseObject("{\"a\":" + std::string(600, '[') + std::string(600, ']') + "}"));

    const std::string text =
        R"({"z":9007199254740993,"a":1.0,"m":-0.1,"u":18446744073709551615,"s":"Grüße ✓ \u0001/"})";
    const json parsed = *HookConfig::parseObject(text);
    const std::string written = HookConfig::serialize(parsed);
    EXPECT_EQ(written, "{\n"
                       "  \"a\": 1.0,\n"
                       "  \"m\": -0.1,\n"
                       "  \"s\": \"Grüße ✓ \\u0001/\",\n"
                       "  \"u\": 18446744073709551615,\n"
                       "  \"z\": 9007199254740993\n"
                       "}\n");
    EXPECT_EQ(*HookConfig::parseObject(written), parsed);
}
