#include "shell/DesktopShell.h"
#include "AppCore.h"
#include "EventLoop.h"
#include "LogCapture.h"
#include "TempHome.h"
#include "shell/DisplayEnvironment.h"
#include "shell/TrayIcon.h"

#include <gtest/gtest.h>

namespace {

QList<Installer::Agent> agents(std::initializer_list<Installer::Status> statuses) {
    QList<Installer::Agent> list;
    for (const Installer::Status& status : statuses)
        list.append({Vorlix::Source::claude, QStringLiteral("Claude Code"), QString(), status});
    return list;
}

TEST(DesktopShell, OpensSettingsOnAFirstRunOrWhenAskedExactly) {
    using S = Installer::Status;
    const std::tuple<QList<Installer::Agent>, const char*, bool> cases[] = {
        {{}, "", true},
        {agents({S::notFound(), S::notInstalled(), S::conflict("other")}), "", true},
        {agents({S::notInstalled(), S::installed()}), "", false},
        {agents({S::installed()}), "1", true},
        {agents({S::installed()}), "true", false},
    };
    for (const auto& [list, variable, opens] : cases)
        EXPECT_EQ(DesktopShell::opensSettingsAtStart(list, QLatin1String(variable)), opens) << variable;
}

TEST(DisplayEnvironment, ForcesXWaylandOnlyWhenNothingWasChosenAndXWaylandIsThere) {
    const std::tuple<QStringList, bool, bool> cases[] = {
        {{}, false, false},
        {{"DISPLAY=:0"}, true, false},
        {{"WAYLAND_DISPLAY=wayland-0"}, true, false},
        {{"WAYLAND_DISPLAY=wayland-0", "DISPLAY=:0"}, true, true},
        {{"WAYLAND_DISPLAY=wayland-0", "DISPLAY=:0", "QT_QPA_PLATFORM=wayland"}, true, false},
        {{"WAYLAND_DISPLAY=wayland-0", "DISPLAY=:0", "QT_QPA_PLATFORM="}, true, true},
        {{"WAYLAND_DISPLAY=", "DISPLAY="}, false, false},
    };
    for (const auto& [vars, display, forceXcb] : cases) {
        QProcessEnvironment env;
        for (const QString& var : vars)
            env.insert(var.section('=', 0, 0), var.section('=', 1));
        EXPECT_EQ(std::pair(DisplayEnvironment::hasDisplay(env), DisplayEnvironment::shouldForceXcb(env)),
                  std::pair(display, forceXcb))
            << vars.join(' ').toStdString();
    }
}

// Start-up in a fresh home asks for settings once; a second start does nothing.
TEST(DesktopShell, StartsTheCoreAndAsksForSettingsOnce) {
    TempHome home;
    AppCore core;
    DesktopShell shell(core);
    int opened = 0;
    shell.settingsOpener = [&] { ++opened; };
    shell.start();
    shell.start();
    EXPECT_EQ(opened, 1);
    // The tray follows on the loop's first turn, and its menu reaches the same settings.
    ASSERT_TRUE(waitUntil([&] { return shell.tray() != nullptr; }));
    emit shell.tray()->settingsRequested();
    EXPECT_EQ(opened, 2);
    core.shutdown();
}

TEST(TrayIcon, RetriesUntilATrayAppearsAndLogsOnceIfNone) {
    int asked = 0;
    TrayIcon late([&] { return ++asked > 3; }, 1);
    late.show();
    EXPECT_TRUE(late.retrying());
    ASSERT_TRUE(waitUntil([&] { return late.visible(); }));
    EXPECT_FALSE(late.retrying());

    LogCapture log;
    int tries = 0;
    TrayIcon never([&] { return ++tries < 0; }, 1);
    never.show();
    waitUntil([&] { return tries > 2 * TrayIcon::attemptsBeforeLog; });
    EXPECT_EQ(log.lines.size(), 1);
    EXPECT_FALSE(never.visible());
}

} // namespace
