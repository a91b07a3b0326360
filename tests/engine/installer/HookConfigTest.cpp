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

} // namespace
