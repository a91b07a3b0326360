#include "risk/RuleStore.h"
#include "TempHome.h"
#include "support/AppPaths.h"
#include "support/Clock.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTimeZone>
#include <gtest/gtest.h>
#include <sys/stat.h>

using Vorlix::Behavior;

namespace {

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString& path, const QByteArray& data) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(file.write(data), data.size());
}

QStringList corruptCopies() {
    return QDir(AppPaths::dataDir()).entryList({"rules.json.corrupt-*"}, QDir::Files | QDir::Dirs);
}

class RuleStoreTest : public ::testing::Test {
protected:
    TempHome m_home;
    // 100.5 seconds after the rules file's reference date, 2001-01-01 UTC.
    ManualClock m_clock{QDateTime(QDate(2001, 1, 1), QTime(0, 1, 40, 500), QTimeZone::utc())};
    QString m_path = RuleStore::defaultPath();
};

} // namespace

TEST_F(RuleStoreTest, TaughtRulesAnswerCallsWithTheSameKey) {
    RuleStore store(m_path, m_clock);
    int changes = 0;
    QObject::connect(&store, &RuleStore::rulesChanged, [&] { ++changes; });
    // A missing file means no rules, and nothing is written until something changes.
    EXPECT_EQ(store.decision("Bash", "npm test"), std::nullopt);
    EXPECT_FALSE(QFileInfo::exists(m_path));

    store.add("Bash", "npm test", Behavior::allow);
    m_clock.advance(0.25);
    store.add("Write", "/src/a.c", Behavior::deny);
    EXPECT_EQ(changes, 2);
    EXPECT_EQ(readAll(m_path), R"([{"behavior":"allow","createdAt":100.5,"key":"Bash: npm test","timesFired":0},)"
                               R"({"behavior":"deny","createdAt":100.75,"key":"Write: /src/a.c","timesFired":0}])");

    EXPECT_EQ(store.decision("Bash", "npm test --coverage"), Behavior::allow);
    // A harmless rule also answers a dangerous call with the same first two words.
    EXPECT_EQ(store.decision("Bash", "npm test && sudo rm -rf dist"), Behavior::allow);
    EXPECT_EQ(store.decision("Bash", "npm install"), std::nullopt);
    EXPECT_EQ(store.decision("bash", "npm test"), std::nullopt) << "keys are case-sensitive";
    EXPECT_EQ(store.rules().at(0).timesFired, 2);
    EXPECT_EQ(changes, 4) << "every firing moves the count shown";
    EXPECT_EQ(RuleStore(m_path, m_clock).rules(), store.rules());

    // Teaching a key that already has a rule changes nothing, not even the file.
    const QList<Rule> before = store.rules();
    QFile::remove(m_path);
    store.add("Bash", "npm test -w", Behavior::deny);
    EXPECT_EQ(store.rules(), before);
    EXPECT_EQ(changes, 4);
    EXPECT_FALSE(QFileInfo::exists(m_path));
}

TEST_F(RuleStoreTest, ReadsWhatOtherWritersProduceAndRemovesByKey) {
    // Any member order, unknown members ignored, whole numbers written as floats, duplicates kept.
    writeFile(m_path, R"([{"timesFired":4.0,"key":"Bash: git log","createdAt":-86400.125,"behavior":"deny","note":1},
                          {"key":"Bash: npm ci","behavior":"Allow","createdAt":0,"timesFired":0},
                          {"key":"Bash: git log","behavior":"allow","createdAt":5,"timesFired":9}])");
    RuleStore store(m_path, m_clock);
    int changes = 0;
    QObject::connect(&store, &RuleStore::rulesChanged, [&] { ++changes; });

    ASSERT_EQ(store.rules().size(), 3);
    EXPECT_EQ(store.rules().at(0), (Rule{"Bash: git log", "deny",
                                         QDateTime(QDate(2000, 12, 30), QTime(23, 59, 59, 875), QTimeZone::utc()), 4}));
    // The first rule with the key answers; any behavior other than "allow" denies.
    EXPECT_EQ(store.decision("Bash", "git log -3"), Behavior::deny);
    EXPECT_EQ(store.decision("Bash", "npm ci"), Behavior::deny);
    EXPECT_EQ(store.rules().at(0).timesFired, 5);
    EXPECT_EQ(store.rules().at(2).timesFired, 9);

    // Passing one of the store's own rules: the key must survive the removal that moves it.
    changes = 0;
    store.remove(store.rules().at(0));
    ASSERT_EQ(store.rules().size(), 1);
    EXPECT_EQ(store.rules().at(0).key, "Bash: npm ci");
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(RuleStore(m_path, m_clock).rules(), store.rules());
    // A rule no longer there only rewrites the file.
    QFile::remove(m_path);
    store.remove(Rule{"Bash: git log", "allow", QDateTime(), 0});
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(RuleStore(m_path, m_clock).rules(), store.rules());
}

// Anything that exists but is not a valid list of rules: the store starts empty, the file stays as it is until the
// first save, which moves it aside (once) instead of overwriting it.
TEST_F(RuleStoreTest, UnusableFileIsKeptAsideNotOverwritten) {
    const std::vector<std::pair<const char*, QByteArray>> cases = {
        {"not JSON", "[{\"key\":"},
        {"an object", R"({"key":"Bash: ls","behavior":"allow","createdAt":0,"timesFired":0})"},
        {"an element that is not an object", R"([["Bash: ls"]])"},
        {"a missing member", R"([{"key":"Bash: ls","behavior":"allow","createdAt":0}])"},
        {"a number as key", R"([{"key":7,"behavior":"allow","createdAt":0,"timesFired":0}])"},
        {"a fraction as count", R"([{"key":"Bash: ls","behavior":"allow","createdAt":0,"timesFired":1.5}])"},
        {"a text as date", R"([{"key":"Bash: ls","behavior":"allow","createdAt":"2024","timesFired":0}])"},
        {"null as behavior", R"([{"key":"Bash: ls","behavior":null,"createdAt":0,"timesFired":0}])"},
        {"one bad element", R"([{"key":"a","behavior":"allow","createdAt":0,"timesFired":0},{"key":"b"}])"},
        {"nesting too deep", QByteArray(600, '[') + QByteArray(600, ']')},
        {"invalid UTF-8", "[{\"key\":\"\xff\",\"behavior\":\"allow\",\"createdAt\":0,\"timesFired\":0}]"},
        // A folder cannot be read as a file, even by root.
        {"a folder", "keep me"},
    };
    for (const auto& [name, content] : cases) {
        SCOPED_TRACE(name);
        const QString inside = name == std::string_view("a folder") ? "/inside" : "";
        QDir(AppPaths::dataDir()).removeRecursively();
        writeFile(m_path + inside, content);

        RuleStore store(m_path, m_clock);
        EXPECT_TRUE(store.rules().isEmpty());
        EXPECT_EQ(readAll(m_path + inside), content) << "loading never rewrites";
        EXPECT_TRUE(corruptCopies().isEmpty());

        store.add("Bash", "ls -la", Behavior::allow);
        store.add("Bash", "pwd", Behavior::allow);
        const QStringList aside = corruptCopies();
        ASSERT_EQ(aside.size(), 1);
        EXPECT_EQ(readAll(AppPaths::dataDir() + u'/' + aside.at(0) + inside), content);
        EXPECT_EQ(RuleStore(m_path, m_clock).rules(), store.rules());
    }
}

TEST_F(RuleStoreTest, SaveReplacesTheFileWholeAndKeepsItsMode) {
    RuleStore store(m_path, m_clock);
    store.add("Bash", "ls", Behavior::allow);
    ASSERT_EQ(::chmod(QFile::encodeName(m_path).constData(), 0600), 0);
    const QByteArray before = readAll(m_path);
    QFile reader(m_path);
    ASSERT_TRUE(reader.open(QIODevice::ReadOnly));

    store.add("Bash", "pwd", Behavior::allow);

    // A reader of the old file still sees it whole: the new one was renamed over it, not written into it.
    EXPECT_EQ(reader.readAll(), before);
    struct stat info {};
    ASSERT_EQ(::stat(QFile::encodeName(m_path).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    EXPECT_EQ(QDir(AppPaths::dataDir()).entryList(QDir::Files | QDir::Hidden), QStringList{"rules.json"});

    // The data folder cannot be created: the rules still hold in memory.
    QDir(AppPaths::root()).removeRecursively();
    writeFile(AppPaths::root(), "in the way");
    store.add("Bash", "make", Behavior::allow);
    EXPECT_EQ(store.decision("Bash", "make"), Behavior::allow);
    EXPECT_EQ(readAll(AppPaths::root()), "in the way");
}
