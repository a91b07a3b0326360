#include "settings/RulesTab.h"
#include "TempHome.h"
#include "WidgetProbe.h"
#include "audit/AuditLog.h"
#include "kit/Dot.h"
#include "kit/Palette.h"
#include "risk/RuleStore.h"
#include "sessions/SessionRules.h"

#include <QDir>

#include <gtest/gtest.h>

using namespace WidgetProbe;

TEST(RulesTabTest, ListsTheRulesWithTheirFiringsAndForgetsOne) {
    TempHome temp;
    const QString home = QString::fromStdString(temp.path());
    ManualClock clock(QDateTime::currentDateTimeUtc());
    RuleStore rules(home + "/rules.json", clock);
    AuditLog audit(home + "/audit", clock);
    SessionRules sessionRules;
    RulesTab tab(rules, sessionRules, audit);
    EXPECT_TRUE(tab.findChildren<Dot*>().isEmpty());

    rules.add("Bash", "npm test", Vorlix::Behavior::allow);
    rules.add("WebFetch", "https://example.com", Vorlix::Behavior::deny);
    for (int i = 0; i < 3; ++i)
        rules.decision("Bash", "npm test");
    settle();

    const QList<Dot*> dots = tab.findChildren<Dot*>();
    ASSERT_EQ(dots.size(), 2);
    EXPECT_NE(dots[0]->color(), dots[1]->color()) << "an allow rule looks unlike a deny rule";

    const QString keptKey = rules.rules()[1].key;
    tab.findChildren<FlatButton*>("forget")[0]->click();
    settle();
    ASSERT_EQ(rules.rules().size(), 1);
    EXPECT_EQ(rules.rules()[0].key, keptKey);
    EXPECT_EQ(tab.findChildren<Dot*>().size(), 1);

    // "This session": listed as they come, gone with their session or a Forget.
    const auto forgets = [&] { return tab.findChildren<FlatButton*>("forgetSessionRule"); };
    sessionRules.add("s1", "shop", "Bash", "npm run build", {Risk::normal, {}});
    sessionRules.add("s2", "api", "Write", "/work/api/notes.md", {Risk::normal, {}});
    settle();
    EXPECT_EQ(forgets().size(), 2);
    QPalette dark = tab.palette(); // the settings window's background
    dark.setColor(QPalette::Window, Palette::bg());
    tab.setPalette(dark);
    tab.setAutoFillBackground(true);
    tab.resize(620, 640);
    QDir().mkpath(VORLIX_BINARY_DIR "/artifacts");
    EXPECT_TRUE(tab.grab().save(VORLIX_BINARY_DIR "/artifacts/rules-tab-session.png"));
    sessionRules.endSession("s1");
    settle();
    ASSERT_EQ(forgets().size(), 1);
    forgets()[0]->click();
    settle();
    EXPECT_EQ(tab.findChild<QWidget*>("sessionRules"), nullptr);
}
