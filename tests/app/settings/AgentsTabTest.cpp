#include "settings/AgentsTab.h"
#include "EventLoop.h"
#include "TempHome.h"
#include "TestFiles.h"
#include "WidgetProbe.h"
#include "installer/Installer.h"
#include "kit/SegmentedPicker.h"
#include "kit/ToggleSwitch.h"
#include "prefs/Prefs.h"

#include <QDir>
#include <QFile>
#include <QMouseEvent>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace WidgetProbe;

namespace {
struct AgentsTabTest : ::testing::Test {
    TempHome temp;
    QString home = QString::fromStdString(temp.path());
};
} // namespace

// Each row offers what its status allows, and its button drives the installer.
TEST_F(AgentsTabTest, RowsShowEachStatusAndTheirButtonsCallTheInstaller) {
    const QByteArray path = qgetenv("PATH");
    TestFiles::write(home + "/bin/claude", "#!/bin/sh\n"); // on PATH, never run: no folder yet, but it can be wired
    QFile::setPermissions(home + "/bin/claude", QFile::ReadOwner | QFile::ExeOwner);
    qputenv("PATH", (home + "/bin").toUtf8());
    TestFiles::write(home + "/.grok/hooks/vibe-island.json", "{}"); // another tool holds Grok
    Installer installer(home, QStringLiteral(VORLIX_BRIDGE_PATH));  // Codex is absent
    Prefs prefs(home + "/prefs.json", home + "/autostart");
    AgentsTab tab(installer, prefs);
    const auto kind = [&](Vorlix::Source id) { return installer.status(id).kind(); };
    const auto press = [&](const char* agent) {
        FlatButton* action = named<FlatButton>(&tab, "action", agent);
        ASSERT_NE(action, nullptr) << agent;
        action->click();
        settle();
    };
    EXPECT_EQ(named(&tab, "action", "codex"), nullptr) << "nothing to do for an agent not on this machine";

    press("claude");
    EXPECT_EQ(kind(Vorlix::Source::claude), Installer::Status::Kind::installed);
    EXPECT_EQ(named<QLabel>(&tab, "status", "claude")->text(), installer.status(Vorlix::Source::claude).statusText());
    // The installer's last word shows at the bottom until it changes.
    EXPECT_EQ(named<QLabel>(&tab, "installerMessage")->text(), installer.lastMessage());

    press("grok");
    EXPECT_EQ(kind(Vorlix::Source::grok), Installer::Status::Kind::installed);

    press("claude");
    EXPECT_EQ(kind(Vorlix::Source::claude), Installer::Status::Kind::notInstalled);
    // Codex run for the first time while the tab is open.
    QDir().mkpath(home + "/.codex");
    EXPECT_TRUE(waitUntil([&] { return named(&tab, "action", "codex") != nullptr; }));
    qputenv("PATH", path);

    // A FIFO or a device in place of the agent's file is refused at once; opening it would freeze the window.
    const QString hooks = home + "/.codex/hooks.json";
    ASSERT_EQ(::mkfifo(QFile::encodeName(hooks).constData(), 0600), 0);
    for (const bool fifo : {true, false}) {
        SCOPED_TRACE(fifo ? "FIFO" : "/dev/zero");
        press("codex");
        EXPECT_EQ(named<QLabel>(&tab, "installerMessage")->text(),
                  QStringLiteral("Failed: .codex/hooks.json is not a regular file \u2014 refusing to overwrite it."));
        EXPECT_EQ(kind(Vorlix::Source::codex), Installer::Status::Kind::notInstalled);
        QFile::remove(hooks);
        ASSERT_TRUE(QFile::link(QStringLiteral("/dev/zero"), hooks));
    }
}

TEST_F(AgentsTabTest, PickerAndSwitchesWriteThePreferences) {
    Installer installer(home, QStringLiteral(VORLIX_BRIDGE_PATH));
    Prefs prefs(home + "/prefs.json", home + "/autostart");
    AgentsTab tab(installer, prefs);
    auto* picker = named<SegmentedPicker>(&tab, "autoApprove");
    ASSERT_NE(picker, nullptr);
    EXPECT_EQ(picker->current(), 1);
    EXPECT_EQ(named<QLabel>(&tab, "levelDescription")->text(), Prefs::levelDescription(0));

    const struct {
        int segment;
        int level;
    } choices[] = {{2, 1}, {0, -1}, {1, 0}};
    for (const auto& choice : choices) {
        SCOPED_TRACE(choice.segment);
        picker = named<SegmentedPicker>(&tab, "autoApprove");
        const QPoint centre = picker->segmentRect(choice.segment).center();
        QMouseEvent release(QEvent::MouseButtonRelease, centre, picker->mapToGlobal(centre), Qt::LeftButton,
                            Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(picker, &release);
        settle();
        EXPECT_EQ(prefs.autoApproveLevel(), choice.level);
        EXPECT_EQ(named<QLabel>(&tab, "levelDescription")->text(), Prefs::levelDescription(choice.level));
    }

    // Each switch shows its default and writes its preference; telling the person is on from the start.
    const std::pair<const char*, bool (Prefs::*)() const> switches[] = {
        {"soundEnabled", &Prefs::soundEnabled},
        {"launchAtLogin", &Prefs::launchAtLogin},
        {"notifyWhenFinished", &Prefs::notifyWhenFinished},
        {"notifyWhenWaiting", &Prefs::notifyWhenWaiting},
    };
    for (const auto& [name, value] : switches) {
        SCOPED_TRACE(name);
        const bool before = (prefs.*value)();
        EXPECT_EQ(before, std::string_view(name) != "launchAtLogin");
        EXPECT_EQ(named<ToggleSwitch>(&tab, name)->isChecked(), before);
        named<ToggleSwitch>(&tab, name)->click();
        settle();
        EXPECT_EQ((prefs.*value)(), !before);
    }
}
