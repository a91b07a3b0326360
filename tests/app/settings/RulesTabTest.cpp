#include "settings/RulesTab.h"
#include "TempHome.h"
#include "WidgetProbe.h"
#include "audit/AuditLog.h"
#include "kit/Dot.h"
#include "risk/RuleStore.h"

#include <gtest/gtest.h>

using namespace WidgetProbe;

TEST(RulesTabTest, ListsTheRulesWithTheirFiringsAndForgetsOne) {
    TempHome temp;
    const QString home = QString::fromStdString(temp.path());
    ManualClock clock(QDateTime::currentDateTimeUtc());
    RuleStore rules(home + "/rules.json", clock);
    AuditLog audit(home + "/audit", clock);
    RulesTab tab(rules, audit);
    EXPECT_EQ(named<QLabel>(&tab, "clicksSaved")->text(), "0");
    EXPECT_TRUE(tab.findChildren<Dot*>().isEmpty());

    rules.add("Bash", "npm test", Vorlix::Behavior::allow);
    rules.add("WebFetch", "https://example.com", Vorlix::Behavior::deny);
    for (int i = 0; i < 3; ++i)
        rules.decision("Bash", "npm test");
    for (const char* kind : {"auto-allowed", "auto-denied", "approved"})
        audit.record({clock.now(), "claude", "s1", "shop", kind, "Bash", "ls", 0});
    settle();

    EXPECT_EQ(named<QLabel>(&tab, "clicksSaved")->text(), "2"); // both "auto" decisions saved a click
    const QList<Dot*> dots = tab.findChildren<Dot*>();
    ASSERT_EQ(dots.size(), 2);
    EXPECT_NE(dots[0]->color(), dots[1]->color()) << "an allow rule looks unlike a deny rule";

    const QString keptKey = rules.rules()[1].key;
    tab.findChildren<FlatButton*>("forget")[0]->click();
    settle();
    ASSERT_EQ(rules.rules().size(), 1);
    EXPECT_EQ(rules.rules()[0].key, keptKey);
    EXPECT_EQ(tab.findChildren<Dot*>().size(), 1);
}
