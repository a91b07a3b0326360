#include "support/ControlChannel.h"
#include "EventLoop.h"

#include <QTemporaryDir>
#include <future>
#include <gtest/gtest.h>

// A second desktop start asks the running application for its settings window; a headless one says it has none.
TEST(ControlChannelTest, AnswersOkWithAWindowNoWindowWithoutAndNothingWhenNobodyListens) {
    QTemporaryDir dir;
    const QString path = dir.filePath("control.sock");
    const auto ask = [&path] {
        auto reply = std::async(std::launch::async, [&path] { return ControlChannel::ask("settings", path, 3000); });
        waitUntil([&reply] { return reply.wait_for(std::chrono::seconds(0)) == std::future_status::ready; });
        return reply.get();
    };
    EXPECT_EQ(ask(), "");

    ControlChannel channel(path);
    ASSERT_TRUE(channel.listen());
    EXPECT_EQ(ask(), "no-window");
    int opened = 0;
    QObject::connect(&channel, &ControlChannel::settingsRequested, [&opened] { ++opened; });
    EXPECT_EQ(ask(), "ok");
    EXPECT_EQ(opened, 1);
}
