#include "installer/HookConfig.h"

#include <gtest/gtest.h>

using json = nlohmann::json;
using Vorlix::Source;

namespace {

json groupOf(const std::vector<std::string>& commands) {
    json group = {{"hooks", json::array()}};
    for (const auto& command : commands)
        group["hooks"].push_back({{"type", "command"}, {"command", command}});
    return group;
}

TEST(HookConfigTest, ScanFindsOursAndNamesTheLastForeignTool) {
    const struct {
        std::vector<std::string> commands;
        bool ours;
        std::optional<std::string> foreign;
    } cases[] = {
        {{"/x/vorlix-bridge --source claude"}, true, std::nullopt},
        {{"~/.vibe-island/bridge"}, false, "Vibe Island"},
        {{"notch-hook"}, false, "another notch app"},
        {{"island-thing"}, false, "another notch app"},
        {{"vibe-island", "notch"}, false, "another notch app"},
        {{"VORLIX", "Notch"}, false, std::nullopt}, // case-sensitive
        {{"vibe-island", "vorlix"}, true, "Vibe Island"},
    };
    for (const auto& c : cases) {
        const HookConfig::Scan scan = HookConfig::scan(json{{"Stop", json::array({groupOf(c.commands)})}});
        EXPECT_EQ(scan.ours, c.ours) << c.commands.front();
        EXPECT_EQ(scan.foreign, c.foreign) << c.commands.front();
    }
}

TEST(HookConfigTest, MergeRefusesOnlyAHooksMemberThatIsNotAnObject) {
    const json add = {{"Stop", json::array({groupOf({"vorlix"})})}};
    for (const json& hooks : {json::array(), json("x"), json(nullptr)})
        EXPECT_FALSE(HookConfig::merge(json{{"hooks", hooks}}, add).has_value()) << hooks.dump();
    // An event that is not an array runs nothing: ours replace it. An odd event we do not write stays.
    EXPECT_EQ(HookConfig::merge(json{{"hooks", {{"Stop", {{"a", 1}}}, {"Elsewhere", "x"}}}}, add),
              (json{{"hooks", {{"Stop", add.at("Stop")}, {"Elsewhere", "x"}}}}));
}

TEST(HookConfigTest, StripRemovesMatchingEntriesAndWhatTheyLeaveEmpty) {
    const json root = {
        {"hooks",
         {{"Stop", json::array({groupOf({"vorlix", "say hi"}), groupOf({"vorlix"}), groupOf({}), "not a group"})},
          {"Start", json::array({groupOf({"vorlix"})})},
          {"Empty", json::array()}}},
        {"statusLine", {{"command", "vorlix line"}}}};
    EXPECT_EQ(*HookConfig::strip(root, "vorlix"),
              (json{{"hooks", {{"Stop", json::array({groupOf({"say hi"}), "not a group"})}}},
                    {"statusLine", root.at("statusLine")}}));
}

TEST(HookConfigTest, SerializeKeepsEveryValue) {
    const json parsed =
        HookConfig::parse(R"({"z":9007199254740993,"a":1.0,"m":-0.1,"u":18446744073709551615,"s":"Grüße ✓ \u0001/"})");
    const std::string written = HookConfig::serialize(parsed);
    EXPECT_EQ(written, "{\n  \"a\": 1.0,\n  \"m\": -0.1,\n  \"s\": \"Grüße ✓ \\u0001/\",\n"
                       "  \"u\": 18446744073709551615,\n  \"z\": 9007199254740993\n}\n");
    EXPECT_EQ(HookConfig::parse(written), parsed);
}

} // namespace
