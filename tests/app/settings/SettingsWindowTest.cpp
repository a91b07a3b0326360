#include "settings/SettingsWindow.h"
#include "AppCore.h"
#include "TempHome.h"
#include "WidgetProbe.h"
#include "settings/AuditTab.h"
#include "settings/SidebarItem.h"

#include <QDir>
#include <QScrollArea>
#include <QScrollBar>
#include <gtest/gtest.h>

// VORLIX_TAB takes only an exact title; a click on the sidebar shows that tab's page.
TEST(SettingsWindowTest, OpensOnTheTabVorlixTabNamesExactlyAndFollowsTheSidebar) {
    TempHome home;
    AppCore core;
    for (const auto& [value, expected] :
         {std::pair("Activity", SettingsTab::audit), {"activity", SettingsTab::agents}}) {
        qputenv("VORLIX_TAB", value);
        EXPECT_EQ(SettingsWindow(core).tab(), expected) << value;
    }
    qunsetenv("VORLIX_TAB");

    SettingsWindow window(core);
    window.show();
    window.sidebarItems()[4]->click();
    EXPECT_NE(qobject_cast<AuditTab*>(window.page()), nullptr);
    EXPECT_TRUE(window.sidebarItems()[4]->selected());
    EXPECT_FALSE(window.sidebarItems()[0]->selected());
}

TEST(SettingsWindowTest, OpenRefreshesTheAgentsAndClosingOnlyHides) {
    TempHome home;
    AppCore core;
    SettingsWindow window(core);
    EXPECT_EQ(core.installer().status(Vorlix::Source::codex).kind(), Installer::Status::Kind::notFound);

    // Codex appears after the window was made: the next open shows it.
    ASSERT_TRUE(QDir().mkpath(QString::fromStdString(home.path()) + QStringLiteral("/.codex")));
    window.open();
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(core.installer().status(Vorlix::Source::codex).kind(), Installer::Status::Kind::notInstalled);

    window.close();
    EXPECT_FALSE(window.isVisible());
    window.open();
    EXPECT_TRUE(window.isVisible());
}

TEST(SettingsWindowTest, ANewEntryKeepsTheActivityListWhereTheUserScrolledIt) {
    TempHome home;
    AppCore core;
    const auto add = [&core] {
        core.auditLog().record({QDateTime::currentDateTimeUtc(), "claude", "s1", "shop", "tool", "Read", "a.txt", 0});
    };
    for (int i = 0; i < 40; ++i)
        add();
    SettingsWindow window(core);
    window.showTab(SettingsTab::audit);
    window.show();
    WidgetProbe::settle();
    QScrollBar* bar = window.findChild<QScrollArea*>()->verticalScrollBar();
    ASSERT_GT(bar->maximum(), 400);
    bar->setValue(400);
    add();
    WidgetProbe::settle();
    EXPECT_EQ(bar->value(), 400);
}
