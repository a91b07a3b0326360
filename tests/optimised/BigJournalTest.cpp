#include "TempHome.h"
#include "TestFiles.h"
#include "audit/AuditLog.h"
#include "support/AppPaths.h"
#include "support/Clock.h"

#include <gtest/gtest.h>

// Heredoc-heavy agents write days over 64 MiB: such a day is read whole at start and exported whole, never moved
// aside. (Optimised: parsing 70 MB of JSON under sanitizers takes over a minute.)
TEST(BigJournal, ABigDayStaysInTheJournal) {
    TempHome home;
    const QDateTime noon = QDateTime::fromString("2026-03-14T12:00:00Z", Qt::ISODate);
    ManualClock clock{noon};
    const QString path = AppPaths::auditDir() + "/2026-03-14.jsonl";
    const AuditEntry small{noon.addSecs(-3600), "claude", "s1", "work", AuditKind::approved, "Bash", "ls", 1};
    const QString heredoc = "cat > big.txt <<'EOF'\n" + QString(1 << 20, u'x') + "\nEOF";
    const AuditEntry big{noon, "claude", "s1", "work", AuditKind::tool, "Bash", heredoc, std::nullopt};
    QByteArray day = *small.toJson() + '\n';
    const QByteArray bigLine = *big.toJson() + '\n';
    while (day.size() < 70 * 1000 * 1000)
        day += bigLine;
    const qsizetype records = day.count('\n');
    TestFiles::write(path, day);

    AuditLog log(AppPaths::auditDir(), clock);
    ASSERT_EQ(log.today().size(), records);
    EXPECT_EQ(log.today().back(), small);
    EXPECT_EQ(log.today().front(), big);
    EXPECT_TRUE(TestFiles::aside(path).isEmpty());
    EXPECT_EQ(QFileInfo(path).size(), day.size());

    const std::optional<QString> csv = log.exportCSV();
    ASSERT_TRUE(csv);
    QFile exported(*csv);
    ASSERT_TRUE(exported.open(QIODevice::ReadOnly));
    EXPECT_GT(exported.size(), day.size() - records * 200);
    EXPECT_TRUE(exported.readLine().startsWith("timestamp,"));
    EXPECT_EQ(exported.readLine(), "2026-03-14T11:00:00Z,claude,work,approved,Bash,1,\"ls\"\n");
}
