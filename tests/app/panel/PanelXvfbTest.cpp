#include "AppCore.h"
#include "BridgeProcess.h"
#include "EventLoop.h"
#include "TempHome.h"
#include "kit/FlatButton.h"
#include "panel/GateCard.h"
#include "panel/NotchPanel.h"
#include "shell/DesktopShell.h"

#include <QGuiApplication>
#include <QProcess>
#include <QScreen>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <thread>

// On a real X server: the real bridge holds a gate, the panel opens by itself, a click on Allow answers the agent;
// a bridge killed while its gate waits takes its card with it.
TEST(PanelXvfbTest, AllowOnThePanelReleasesTheBridge) {
    ASSERT_EQ(QGuiApplication::platformName(), "xcb");
    TempHome home;
    AppCore core;
    // The shell builds the panel and tells the core a person can answer once it shows.
    DesktopShell shell(core);
    shell.settingsOpener = [] {};
    shell.start();
    ASSERT_TRUE(waitUntil([&] { return shell.panel() != nullptr; }));
    NotchPanel& panel = *shell.panel();
    // Keep the pointer off the island: only the gate may open it.
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    panel.pointer = [&] { return screen.bottomLeft(); };
    EXPECT_TRUE(waitUntil([&] { return panel.window().isVisible(); }));

    Running running;
    BridgeProcess::start({VORLIX_BRIDGE_PATH, "--source", "claude"},
                         readFixture("claude/tools/PermissionRequest-Edit.json"),
                         {{"GROK_HOOK_EVENT", std::nullopt}, {"GROK_SESSION_ID", std::nullopt}}, running);
    std::optional<BridgeProcess::Result> result;
    std::thread collector([&] { result = running.finish(30000); });

    ASSERT_TRUE(waitUntil([&] { return panel.view().card() != nullptr; }, 20000));
    EXPECT_TRUE(waitUntil([&] { return panel.window().geometry().width() == 524; }));
    EXPECT_EQ(panel.window().geometry().top(), screen.top());
    EXPECT_FALSE(result.has_value());

    // A real click through the X server: the panel takes clicks although it never takes focus.
    FlatButton* allow = panel.view().card()->allowButton();
    EXPECT_TRUE(waitUntil([&] { return allow->isVisible() && !panel.view().transitioning(); }));
    const QPoint at = allow->mapToGlobal(allow->rect().center());
    QProcess xdotool;
    xdotool.start(QStringLiteral("xdotool"), {QStringLiteral("mousemove"), QString::number(at.x()),
                                              QString::number(at.y()), QStringLiteral("click"), QStringLiteral("1")});
    ASSERT_TRUE(xdotool.waitForFinished(10000)) << "xdotool (scripts/install-deps.sh) is needed";
    EXPECT_EQ(xdotool.exitCode(), 0);

    ASSERT_TRUE(waitUntil([&] { return result.has_value(); }, 20000));
    collector.join();
    EXPECT_EQ(result->exitStatus, 0);
    const auto answer = nlohmann::json::parse(result->out, nullptr, false);
    ASSERT_FALSE(answer.is_discarded()) << result->out;
    const auto& decision = answer["hookSpecificOutput"]["decision"];
    EXPECT_EQ(decision["behavior"], "allow");
    // The card sends no message of its own, so the agent hears the bridge's plain wording (not a rule's or phone's).
    EXPECT_EQ(decision["message"], "Approved in Vorlix Agents");
    EXPECT_TRUE(core.store().gates().isEmpty());
    EXPECT_TRUE(waitUntil([&] { return panel.view().card() == nullptr; }));

    Running killed;
    BridgeProcess::start({VORLIX_BRIDGE_PATH, "--source", "claude"},
                         readFixture("claude/tools/PermissionRequest-Edit.json"),
                         {{"GROK_HOOK_EVENT", std::nullopt}, {"GROK_SESSION_ID", std::nullopt}}, killed);
    ASSERT_TRUE(waitUntil([&] { return panel.view().card() != nullptr; }, 20000));
    killed.kill();
    killed.finish(10000);
    EXPECT_TRUE(waitUntil([&] { return panel.view().card() == nullptr; }, 10000));
    EXPECT_TRUE(core.store().gates().isEmpty());
    core.shutdown();
}
