#include "audit/AuditLog.h"
#include "LogCapture.h"
#include "TempHome.h"
#include "TestFiles.h"
#include "support/AppPaths.h"
#include "support/Clock.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

QDateTime at(const char* iso) {
    return QDateTime::fromString(QString::fromLatin1(iso), Qt::ISODate);
}

AuditEntry entry(const char* ts, QLatin1String kind, std::optional<int> risk = std::nullopt, QString agent = "claude",
                 QString project = "work", QString tool = "Bash", QString detail = "ls", QString session = "s1") {
    return AuditEntry{at(ts), std::move(agent), std::move(session), std::move(project),
                      kind,   std::move(tool),  std::move(detail),  risk};
}

QString dayFile(const char* day) {
    return AppPaths::auditDir() + '/' + day + ".jsonl";
}

QByteArray line(const AuditEntry& e) {
    return *e.toJson() + '\n';
}

class AuditLogTest : public ::testing::Test {
protected:
    TempHome m_home;
    ManualClock m_clock{at("2026-03-14T12:00:00Z")};
};

} // namespace

TEST_F(AuditLogTest, RecordsGoToTheFileOfTheirLocalDay) {
    // Eight hours behind UTC, so the local date and the UTC date differ for most of the morning.
    m_clock.setTimeZone(QTimeZone(-8 * 3600));
    AuditLog log(AppPaths::auditDir(), m_clock);
    // 07:59:59.999 UTC is 23:59:59 local on the 13th; one millisecond later it is midnight of the 14th.
    AuditEntry lastOfDay = entry("2026-03-14T07:59:59Z", AuditKind::tool);
    lastOfDay.ts = lastOfDay.ts.addMSecs(999);
    const AuditEntry denied = entry("2026-03-14T08:00:00Z", AuditKind::denied, 3);
    const AuditEntry allowed = entry("2026-03-14T09:26:53Z", AuditKind::autoAllowed, 0);
    for (const AuditEntry& e : {lastOfDay, denied, allowed})
        EXPECT_TRUE(log.record(e));
    EXPECT_EQ(log.today(), (QList<AuditEntry>{allowed, denied, lastOfDay})) << "memory keeps the fraction";

    // Whole seconds, cut rather than rounded into the next day.
    EXPECT_EQ(TestFiles::read(dayFile("2026-03-13")), line(entry("2026-03-14T07:59:59Z", AuditKind::tool)));
    EXPECT_EQ(TestFiles::read(dayFile("2026-03-14")), line(denied) + line(allowed));
    EXPECT_EQ(QDir(AppPaths::auditDir()).entryList(QDir::Files).size(), 2);

    // A restart loads only the clock's local day, newest first; a second before midnight that is the 13th.
    m_clock.set(at("2026-03-14T08:00:00Z"));
    EXPECT_EQ(AuditLog(AppPaths::auditDir(), m_clock).today(), (QList<AuditEntry>{allowed, denied}));
    m_clock.set(at("2026-03-14T07:59:59Z"));
    EXPECT_EQ(AuditLog(AppPaths::auditDir(), m_clock).today(),
              QList<AuditEntry>{entry("2026-03-14T07:59:59Z", AuditKind::tool)});
}

// Each damaged line is skipped without costing its neighbours; the journal never crashes on a file.
TEST_F(AuditLogTest, DamagedAndCutLinesCostOnlyThemselves) {
    const QByteArray good = line(entry("2026-03-14T10:00:00Z", AuditKind::tool));
    const QByteArray withOffset = R"({"ts":"2026-03-14T11:26:53+02:00","agent":"claude","sessionID":"s1",)"
                                  R"("project":"work","kind":"tool","tool":"Bash","detail":"ls","extra":[1]})";
    const QByteArray nullRisk = QByteArray(good).replace("\"ls\"}", "\"ls\",\"risk\":null}");
    const std::tuple<const char*, QByteArray, bool> cases[] = {
        {"an offset is read as its instant; unknown members ignored", withOffset, true},
        {"null risk is absent", nullRisk, true},
        {"invalid UTF-8 inside a string", QByteArray(good).replace("ls", "l\xff"), false},
        {"a missing member", QByteArray(good).replace(R"("detail":"ls")", R"("x":"ls")"), false},
        {"risk as a fraction", QByteArray(nullRisk).replace("null", "1.5"), false},
        {"risk beyond an int", QByteArray(nullRisk).replace("null", "4294967296"), false},
        {"a time without a zone", QByteArray(good).replace("10:00:00Z", "10:00:00"), false},
        {"a fraction of a second", QByteArray(good).replace("10:00:00Z", "10:00:00.5Z"), true},
        {"a known member holding an object", QByteArray(good).replace(R"("ls")", R"({"a":"ls"})"), false},
        {"cut short", good.left(40), false},
    };
    for (const auto& [name, text, loads] : cases) {
        TestFiles::write(dayFile("2026-03-14"), good + text.chopped(text.endsWith('\n') ? 1 : 0) + '\n' + good);
        EXPECT_EQ(AuditLog(AppPaths::auditDir(), m_clock).today().size(), loads ? 3 : 2) << name;
    }
    TestFiles::write(dayFile("2026-03-14"), withOffset);
    EXPECT_EQ(AuditLog(AppPaths::auditDir(), m_clock).today().value(0).ts, at("2026-03-14T09:26:53Z"));

    // Appending never replaces the day file, and a line cut off by a crash does not swallow the next record.
    const QByteArray cut = good.left(40);
    TestFiles::write(dayFile("2026-03-14"), good + cut);
    const AuditEntry after = entry("2026-03-14T11:00:00Z", AuditKind::approved, 1);
    EXPECT_TRUE(AuditLog(AppPaths::auditDir(), m_clock).record(after));
    EXPECT_EQ(TestFiles::read(dayFile("2026-03-14")), good + cut + '\n' + line(after));
    EXPECT_EQ(AuditLog(AppPaths::auditDir(), m_clock).today().size(), 2);
}

// A FIFO in place of today's file can neither hang the start nor be moved: it is passed over and stays. A folder
// there cannot be written: the record stays in memory and the caller hears of it.
TEST_F(AuditLogTest, SomethingElseInPlaceOfTodaysFile) {
    QDir().mkpath(AppPaths::auditDir());
    const QString today = dayFile("2026-03-14");
    ASSERT_EQ(::mkfifo(QFile::encodeName(today).constData(), 0600), 0);
    AuditLog log(AppPaths::auditDir(), m_clock);
    EXPECT_TRUE(log.today().isEmpty());
    EXPECT_TRUE(TestFiles::aside(today).isEmpty());
    const AuditEntry e = entry("2026-03-14T10:00:00Z", AuditKind::tool);
    EXPECT_FALSE(log.record(e));
    EXPECT_TRUE(QFileInfo::exists(today)) << "left where it is";
    EXPECT_EQ(log.exportCSV(), AuditLog::exportPath()) << "the export passes over it too";

    ASSERT_TRUE(QFile::remove(today) && QDir().mkpath(today));
    EXPECT_FALSE(log.record(e));
    // A time that has no internet date-time form is kept in memory only.
    EXPECT_FALSE(log.record(AuditEntry{{}, "claude", "s1", "work", AuditKind::tool, "Bash", "ls", {}}));
    EXPECT_EQ(log.today().size(), 3);
}

TEST_F(AuditLogTest, TodayKeepsTheNewest500WhileTheFileKeepsAll) {
    AuditLog log(AppPaths::auditDir(), m_clock);
    for (int i = 0; i < 501; ++i) {
        AuditEntry e = entry("2026-03-14T00:00:00Z", AuditKind::tool);
        e.ts = e.ts.addSecs(i);
        e.detail = QString::number(i);
        log.record(e);
    }
    ASSERT_EQ(log.today().size(), AuditLog::todayLimit);
    EXPECT_EQ(log.today().front().detail, "500");
    EXPECT_EQ(log.today().back().detail, "1");
    EXPECT_EQ(TestFiles::read(dayFile("2026-03-14")).count('\n'), 501);
}

// Damaged lines and things that are not day files are passed over; a failed export says why and gives nothing.
TEST_F(AuditLogTest, ExportWritesEveryDayOldestFirst) {
    AuditLog log(AppPaths::auditDir(), m_clock);
    const QByteArray header = "timestamp,agent,project,event,tool,risk,detail";
    ASSERT_FALSE(QFileInfo::exists(AppPaths::home() + "/Desktop"));
    const auto empty = log.exportCSV();
    ASSERT_EQ(empty, AppPaths::home() + "/Desktop/vorlix-agents-audit.csv");
    EXPECT_EQ(TestFiles::read(*empty), header);

    log.record(entry("2026-03-14T09:26:53Z", AuditKind::denied, 3, "claude", "work", "Bash", "echo \"hi\""));
    log.record(entry("2026-03-12T23:00:00Z", AuditKind::tool, std::nullopt, "codex", "api", "Read", "/src/a.c"));
    QDir().mkpath(dayFile("2026-03-13"));
    TestFiles::write(AppPaths::auditDir() + "/notes.txt", line(entry("2026-03-14T01:00:00Z", AuditKind::tool)));
    TestFiles::write(dayFile("2026-03-11"), line(entry("2026-03-11T08:00:00Z", AuditKind::autoAllowed, 0)) +
                                                "\xff\xfe\n" +
                                                R"({"ts":"2026-03-11T09:00:00+01:00","agent":"kiro","sessionID":"k",)"
                                                R"("project":"p","kind":"auto-denied","tool":"Write","detail":""})");
    // Any field holding a comma, a quote or a line break is quoted, so a project name cannot shift the columns.
    const std::tuple<QString, QString, const char*> quoted[] = {
        {"a,b", "Bash", "\"a,b\",denied,Bash,"},
        {"say \"x\"", "Bash", "\"say \"\"x\"\"\",denied,Bash,"},
        {"two\nlines", "mcp,tool", "\"two\nlines\",denied,\"mcp,tool\","},
        {"caf\u00e9 'quoted'", "Bash", "caf\xc3\xa9 'quoted',denied,Bash,"},
    };
    QByteArray expected = header + "\n"
                                   "2026-03-11T08:00:00Z,claude,work,auto-allowed,Bash,0,\"ls\"\n"
                                   "2026-03-11T08:00:00Z,kiro,p,auto-denied,Write,-1,\"\"\n"
                                   "2026-03-12T23:00:00Z,codex,api,tool,Read,-1,\"/src/a.c\"\n"
                                   "2026-03-14T09:26:53Z,claude,work,denied,Bash,3,\"echo \"\"hi\"\"\"";
    for (const auto& [project, tool, row] : quoted) {
        log.record(entry("2026-03-14T10:00:00Z", AuditKind::denied, 2, "claude", project, tool, "d"));
        expected += QByteArray("\n2026-03-14T10:00:00Z,claude,") + row + "2,\"d\"";
    }
    const auto path = log.exportCSV();
    ASSERT_EQ(path, empty);
    EXPECT_EQ(TestFiles::read(*path), expected);

    // Running as root, permission bits prove nothing: a directory in the file's place cannot be replaced.
    LogCapture logged;
    ASSERT_TRUE(QFile::remove(*path) && QDir().mkpath(*path));
    EXPECT_FALSE(log.exportCSV());
    EXPECT_TRUE(logged.lines.size() == 1 && logged.lines[0].startsWith("audit export failed: "))
        << logged.lines.join('|').toStdString();

    // A journal folder that is a file cannot be listed.
    TestFiles::write(AppPaths::root() + "/not-a-folder", "x");
    EXPECT_FALSE(AuditLog(AppPaths::root() + "/not-a-folder", m_clock).exportCSV());
}

TEST(AuditEntryTest, Coding) {
    AuditEntry e = entry("2026-03-14T09:26:53Z", AuditKind::approved, 2, "grok", "\u00fcber", "Edit",
                         "line one\nline \"two\" \\ \U0001F916", "sess-9");
    const auto json = e.toJson();
    ASSERT_EQ(json, R"({"ts":"2026-03-14T09:26:53Z","agent":"grok","sessionID":"sess-9","project":"über",)"
                    R"("kind":"approved","tool":"Edit","detail":"line one\nline \"two\" \\ 🤖","risk":2})");
    EXPECT_EQ(AuditEntry::fromJson(json->toStdString()), e);
    EXPECT_EQ(e.identity(), "1773480413-Edit-sess-9");
    e.ts = e.ts.addMSecs(250);
    EXPECT_EQ(e.identity(), "1773480413.25-Edit-sess-9");

    // Fractions are cut, even before 1970.
    EXPECT_EQ(AuditEntry::isoText(at("1969-12-31T23:59:59.900Z")), QByteArray("1969-12-31T23:59:59Z"));
    EXPECT_EQ(AuditEntry::fromIsoText("0001-01-01T00:00:00Z"), at("0001-01-01T00:00:00Z"));
    EXPECT_FALSE(AuditEntry::isoText(QDateTime()));
    EXPECT_FALSE(AuditEntry::isoText(at("9999-12-31T23:59:59Z").addSecs(1)));
    for (const char* bad :
         {"2026-13-01T00:00:00Z", "2026-01-01T24:00:00Z", "2026-01-01T00:60:00Z", "2026-01-01T00:00:60Z",
          "2025-02-29T00:00:00Z", "2026-01-01 00:00:00Z", "2026-1-01T0:00:00Z", "", "yesterday"})
        EXPECT_FALSE(AuditEntry::fromIsoText(bad)) << bad;
}
