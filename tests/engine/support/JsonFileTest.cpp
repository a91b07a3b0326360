#include "AppCore.h"
#include "LogCapture.h"
#include "TempHome.h"
#include "TestFiles.h"
#include "support/AppPaths.h"

#include <functional>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace TestFiles;

namespace {

// One of our stores: `startAndChange` builds it on the file, tells whether it started empty and makes one change;
// `holdsChange` reads the file again through a fresh store.
struct Store {
    const char* name;
    QString (*path)();
    QByteArray wrongShape;
    std::function<bool(const QString&, const Clock&)> startAndChange;
    std::function<bool(const QString&, const Clock&)> holdsChange;
};

const Store stores[] = {
    {"rules", RuleStore::defaultPath, R"({"key":"Bash: ls","behavior":"allow","createdAt":0,"timesFired":0})",
     [](const QString& path, const Clock& clock) {
         RuleStore store(path, clock);
         const bool empty = store.rules().isEmpty();
         store.add("Bash", "ls", Vorlix::Behavior::allow);
         return empty;
     },
     [](const QString& path, const Clock& clock) { return RuleStore(path, clock).rules().size() == 1; }},
    {"game", Game::defaultPath, R"({"coins":7,"streak":1,"bestStreak":1,"lastActiveDay":"","unlocked":{}})",
     [](const QString& path, const Clock& clock) {
         Game game(path, clock);
         const bool empty = game.coins() == 0 && game.unlockedCount() == 0;
         game.agentCompleted();
         return empty;
     },
     [](const QString& path, const Clock& clock) { return Game(path, clock).coins() == 1; }},
    {"preferences", Prefs::defaultPath, R"([{"soundEnabled":false}])",
     [](const QString& path, const Clock&) {
         Prefs prefs(path);
         const bool empty = prefs.soundEnabled() && prefs.autoApproveLevel() == 0;
         prefs.setSoundEnabled(false);
         return empty;
     },
     [](const QString& path, const Clock&) { return !Prefs(path).soundEnabled(); }},
};

enum class Kind { file, huge, folder, fifo, link };

} // namespace

// Whatever is in a store's place, the store starts empty, keeps the thing aside untouched and saves a fresh file.
TEST(JsonFileTest, AnythingUnusableIsMovedAsideOnceAndNeverOverwritten) {
    const std::tuple<const char*, Kind, QByteArray> contents[] = {
        {"not JSON", Kind::file, "{\"soundEnabled\":fal"},
        {"empty", Kind::file, ""},
        {"nested too deep", Kind::file, QByteArray(600, '[') + QByteArray(600, ']')},
        {"invalid UTF-8", Kind::file, "{\"key\":\"\xff\"}"},
        {"the wrong shape for this store", Kind::file, {}},
        {"a folder", Kind::folder, {}},
        {"a FIFO nobody writes to", Kind::fifo, {}},
        {"a link to /dev/zero", Kind::link, "/dev/zero"},
        {"a link to nowhere", Kind::link, "/nonexistent/file"},
        {"larger than we read", Kind::huge, {}},
    };
    ManualClock clock;
    for (const Store& store : stores) {
        for (const auto& [what, kind, bytes] : contents) {
            SCOPED_TRACE(std::string(store.name) + ": " + what);
            TempHome home;
            LogCapture log;
            const QString path = store.path();
            QDir().mkpath(QFileInfo(path).absolutePath());
            const QByteArray native = QFile::encodeName(path);
            const QByteArray content = bytes.isNull() ? store.wrongShape : bytes;
            if (kind == Kind::file || kind == Kind::huge)
                write(path, content);
            if (kind == Kind::huge)
                ASSERT_EQ(::truncate(native.constData(), FileIO::maxReadBytes + 1), 0);
            else if (kind == Kind::folder)
                write(path + "/inside", "keep me");
            else if (kind == Kind::fifo)
                ASSERT_EQ(::mkfifo(native.constData(), 0600), 0);
            else if (kind == Kind::link) {
                ASSERT_TRUE(QFile::link(QString::fromUtf8(bytes), path));
            }

            EXPECT_TRUE(store.startAndChange(path, clock));
            const QStringList moved = aside(path);
            ASSERT_EQ(moved.size(), 1);
            if (kind == Kind::file)
                EXPECT_EQ(read(moved.front()), content);
            else if (kind == Kind::folder)
                EXPECT_EQ(read(moved.front() + "/inside"), "keep me");
            else if (kind == Kind::link)
                EXPECT_EQ(QFileInfo(moved.front()).symLinkTarget(), QString::fromUtf8(bytes));
            else if (kind == Kind::huge)
                EXPECT_EQ(QFileInfo(moved.front()).size(), FileIO::maxReadBytes + 1);
            else
                EXPECT_TRUE(QFileInfo(moved.front()).isSymLink() || mode(moved.front()) != 0);
            ASSERT_EQ(log.lines.size(), 1) << log.lines.join('\n').toStdString();
            EXPECT_TRUE(log.lines.front().contains("moved to " + moved.front())) << log.lines.front().toStdString();
            EXPECT_TRUE(store.holdsChange(path, clock));
        }
    }
}

// Another local user must not be able to read our files or replace the socket, whatever the umask says.
TEST(JsonFileTest, FoldersAndFilesArePrivateUnderAnOpenUmask) {
    TempHome home;
    const Umask open(0);
    QDir().mkpath(AppPaths::runDir());
    ::chmod(QFile::encodeName(AppPaths::runDir()).constData(), 0777); // left open by an older version
    QString error;
    ASSERT_TRUE(AppPaths::makePrivate(&error)) << error.toStdString();
    for (const QString& dir :
         {AppPaths::root(), AppPaths::runDir(), AppPaths::dataDir(), AppPaths::auditDir(), AppPaths::backupsDir()})
        EXPECT_EQ(mode(dir), 0700u) << dir.toStdString();

    ManualClock clock;
    RuleStore(RuleStore::defaultPath(), clock).add("Bash", "ls", Vorlix::Behavior::allow);
    Game(Game::defaultPath(), clock).agentCompleted();
    AuditLog log(AppPaths::auditDir(), clock);
    log.record(AuditEntry{clock.now(), "claude", "s", "p", AuditKind::tool, "Bash", "ls", std::nullopt});
    const std::optional<QString> csv = log.exportCSV();
    ASSERT_TRUE(csv);
    for (const QString& file : {RuleStore::defaultPath(), Game::defaultPath(), log.dayFilePath(clock.now()), *csv})
        EXPECT_EQ(mode(file), 0600u) << file.toStdString();
    EXPECT_EQ(mode(QFileInfo(*csv).absolutePath()), 0777u) << "the desktop folder is the user's";
}
