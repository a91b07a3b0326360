#include "settings/AuditTab.h"
#include "TempHome.h"
#include "TestFiles.h"
#include "WidgetProbe.h"
#include "audit/AuditLog.h"
#include "kit/Dot.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

using namespace WidgetProbe;

namespace {
struct AuditTabTest : ::testing::Test {
    TempHome temp;
    QString home = QString::fromStdString(temp.path());
    ManualClock clock{QDateTime(QDate(2026, 12, 7), QTime(9, 0), QTimeZone::utc())};
    AuditLog audit{home + "/audit", clock};

    void add(const QString& kind, const QString& tool, const QString& detail = QStringLiteral("x"), int at = 0) {
        audit.record({clock.now().addSecs(at), "codex", "s1", "shop", kind, tool, detail, 1});
    }
};
} // namespace

// The tab follows the log: the newest eighty, each with its dot, and a detail only where there is one.
TEST_F(AuditTabTest, ShowsTheNewestEightyAndOnlyNonEmptyDetails) {
    AuditTab tab(audit);
    EXPECT_TRUE(tab.findChildren<Dot*>().isEmpty());
    const QString kinds[] = {"tool", "approved", "denied", "auto-allowed", "auto-denied"};
    for (int i = 0; i < 120; ++i)
        add(kinds[i % 5], QStringLiteral("t%1").arg(i), i == 119 ? QString() : QStringLiteral("d%1").arg(i), i);
    settle();
    EXPECT_EQ(tab.findChildren<Dot*>().size(), 80);
    const QStringList words = texts(&tab);
    EXPECT_TRUE(words.contains("t119"));
    EXPECT_TRUE(words.contains("t40"));
    EXPECT_FALSE(words.contains("t39"));
    EXPECT_FALSE(words.contains("d119"));
    EXPECT_TRUE(words.contains("d118"));
}

// A failed export says so, and never leaves an earlier "Saved" line standing for it.
TEST_F(AuditTabTest, ExportSaysWhereItSavedOrThatItFailed) {
    add("approved", "Bash");
    AuditTab tab(audit);
    const auto exportNow = [&] {
        named<FlatButton>(&tab, "export")->click();
        settle();
        return std::pair(named(&tab, "exported") != nullptr, named(&tab, "exportFailed") != nullptr);
    };
    EXPECT_EQ(exportNow(), std::pair(true, false));
    EXPECT_TRUE(QFile::exists(home + "/Desktop/vorlix-agents-audit.csv"));
    // The desktop folder cannot be made.
    ASSERT_TRUE(QDir(home + "/Desktop").removeRecursively());
    TestFiles::write(home + "/Desktop", {});
    EXPECT_EQ(exportNow(), std::pair(false, true));
}
