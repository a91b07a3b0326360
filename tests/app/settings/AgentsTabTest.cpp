#include "settings/AgentsTab.h"
#include "EventLoop.h"
#include "TempHome.h"
#include "TestFiles.h"
#include "WidgetProbe.h"
#include "installer/Installer.h"
#include "prefs/Prefs.h"
#include "settings/SegmentedPicker.h"
#include "settings/ToggleSwitch.h"
#include "sprites/PixelSprite.h"

#include <QDir>
#include <QFile>
#include <QMouseEvent>
#include <gtest/gtest.h>

using namespace WidgetProbe;

namespace {
struct AgentsTabTest : ::testing::Test {
    TempHome temp;
    QString home = QString::fromStdString(temp.path());
    void put(const QString& relative, const QByteArray& data) { TestFiles::write(home + '/' + relative, data); }
};
} // namespace

TEST_F(AgentsTabTest, RowsShowEachStatusAndTheirButtonsCallTheInstaller) {
    const QByteArray path = qgetenv("PATH");
    put("bin/claude", "#!/bin/sh\n"); // on PATH, never run: no folder yet, but it can be wired
    QFile::setPermissions(home + "/bin/claude", QFile::ReadOwner | QFile::ExeOwner);
    qputenv("PATH", (home + "/bin").toUtf8());
    put(".grok/hooks/vibe-island.json", "{}");                     // another tool holds Grok
    Installer installer(home, QStringLiteral(VORLIX_BRIDGE_PATH)); // Codex is absent
    Prefs prefs(home + "/prefs.json", home + "/autostart");
    AgentsTab tab(installer, prefs);

    for (const char* status : {"hooks not installed", "not installed on this machine", "Vibe Island owns the hooks"})
        EXPECT_NE(label(&tab, status), nullptr) << status;
    // Another tool's hooks stand out; an agent not on this machine is dimmed.
    EXPECT_EQ(textColor(label(&tab, "Vibe Island owns the hooks")), PixelSprite::yellow());
    EXPECT_EQ(textColor(label(&tab, "Codex")), Palette::text3());
    EXPECT_EQ(buttonTitles(&tab), QStringList({"Install", "Replace Vibe Island"}));

    button(&tab, "Install")->click();
    settle();
    ASSERT_NE(label(&tab, "watching"), nullptr);
    EXPECT_EQ(textColor(label(&tab, "watching")), PixelSprite::green());
    ASSERT_NE(button(&tab, "Remove"), nullptr);
    // The installer's last word shows at the bottom until it changes.
    EXPECT_EQ(texts(&tab).last(), QStringLiteral("Installed hooks for Claude Code."));

    button(&tab, "Replace Vibe Island")->click();
    settle();
    EXPECT_FALSE(QFile::exists(home + "/.grok/hooks/vibe-island.json"));
    EXPECT_EQ(buttonTitles(&tab), QStringList({"Remove", "Remove"}));

    button(&tab, "Remove")->click();
    settle();
    EXPECT_EQ(buttonTitles(&tab), QStringList({"Install", "Remove"}));
    // Codex run for the first time while the tab is open.
    QDir().mkpath(home + "/.codex");
    EXPECT_TRUE(waitUntil([&] { return buttonTitles(&tab) == QStringList({"Install", "Install", "Remove"}); }));
    qputenv("PATH", path);
}

TEST_F(AgentsTabTest, PickerAndSwitchesWriteThePreferences) {
    Installer installer(home, QStringLiteral(VORLIX_BRIDGE_PATH));
    // A hand-written 2 means nothing the picker offers: it reads as read-only.
    put("prefs.json", R"({"autoApproveLevel": 2})");
    Prefs prefs(home + "/prefs.json", home + "/autostart");
    AgentsTab tab(installer, prefs);
    auto* picker = tab.findChild<SegmentedPicker*>();
    ASSERT_NE(picker, nullptr);
    EXPECT_EQ(picker->current(), 1);
    EXPECT_NE(label(&tab, Prefs::levelDescription(0)), nullptr);

    const struct {
        int segment;
        int level;
    } choices[] = {{0, -1}, {2, 1}, {1, 0}};
    for (const auto& choice : choices) {
        SCOPED_TRACE(choice.segment);
        picker = tab.findChild<SegmentedPicker*>();
        const QPoint centre = picker->segmentRect(choice.segment).center();
        QMouseEvent release(QEvent::MouseButtonRelease, centre, picker->mapToGlobal(centre), Qt::LeftButton,
                            Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(picker, &release);
        settle();
        EXPECT_EQ(prefs.autoApproveLevel(), choice.level);
        EXPECT_NE(label(&tab, Prefs::levelDescription(choice.level)), nullptr);
    }

    const QList<ToggleSwitch*> switches = tab.findChildren<ToggleSwitch*>();
    ASSERT_EQ(switches.size(), 2);
    EXPECT_TRUE(switches[0]->isChecked());
    EXPECT_FALSE(switches[1]->isChecked());
    switches[0]->click();
    switches[1]->click();
    settle();
    EXPECT_FALSE(prefs.soundEnabled());
    EXPECT_TRUE(prefs.launchAtLogin());
}
