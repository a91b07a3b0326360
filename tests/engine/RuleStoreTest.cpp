#include "RuleStore.h"
#include "AppPaths.h"
#include "Clock.h"
#include "TempHome.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTimeZone>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
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

// Counts rulesChanged emissions.
struct ChangeCounter {
    explicit ChangeCounter(RuleStore& store) {
        QObject::connect(&store, &RuleStore::rulesChanged, [this] { ++count; });
    }
    int count = 0;
};

QStringList corruptCopies(const QString& path) {
    const QFileInfo info(path);
    return QDir(info.absolutePath())
        .entryList({info.fileName() + QStringLiteral(".corrupt-*")}, QDir::Files | QDir::Dirs);
}

// 2001-01-01 00:01:40.5 UTC: 100.5 seconds after the rules file's reference date.
QDateTime startTime() {
    return QDateTime(QDate(2001, 1, 1), QTime(0, 1, 40, 500), QTimeZone::utc());
}

class RuleStoreTest : public ::testing::Test {
protected:
    TempHome m_home;
    ManualClock m_clock{startTime()};
    QString m_path = RuleStore::defaultPath();
};

} // namespace

TEST_F(RuleStoreTest, TaughtRuleAnswersLaterCallsWithTheSameKey) {
    RuleStore store(m_path, m_clock);
    store.add(QStringLiteral("Bash"), QStringLiteral("npm test"), Behavior::allow);

    EXPECT_EQ(store.decision(QStringLiteral("Bash"), QStringLiteral("npm test --coverage")), Behavior::allow);
    // A harmless rule also answers a dangerous call with the same first two words.
    EXPECT_EQ(store.decision(QStringLiteral("Bash"), QStringLiteral("npm test && sudo rm -rf dist")), Behavior::allow);
    EXPECT_EQ(store.decision(QStringLiteral("Bash"), QStringLiteral("npm install")), std::nullopt);
    // Keys are case-sensitive, tool name included.
    EXPECT_EQ(store.decision(QStringLiteral("bash"), QStringLiteral("npm test")), std::nullopt);

    ASSERT_EQ(store.rules().size(), 1);
    EXPECT_EQ(store.rules().at(0).timesFired, 2);
    RuleStore reloaded(m_path, m_clock);
    EXPECT_EQ(reloaded.rules(), store.rules());
}

TEST_F(RuleStoreTest, TeachingAnExistingKeyChangesNothing) {
    RuleStore store(m_path, m_clock);
    store.add(QStringLiteral("Bash"), QStringLiteral("npm test"), Behavior::allow);
    store.decision(QStringLiteral("Bash"), QStringLiteral("npm test"));
    const QList<Rule> before = store.rules();

    QFile::remove(m_path);
    m_clock.advance(3600);
    ChangeCounter changed(store);
    store.add(QStringLiteral("Bash"), QStringLiteral("npm test -w"), Behavior::deny);

    EXPECT_EQ(store.rules(), before);
    EXPECT_EQ(changed.count, 0);
    EXPECT_FALSE(QFileInfo::exists(m_path)) << "nothing is saved";
}

TEST_F(RuleStoreTest, WritesCompactArrayWithSecondsSince2001) {
    RuleStore store(m_path, m_clock);
    store.add(QStringLiteral("Bash"), QStringLiteral("npm test"), Behavior::allow);
    m_clock.advance(0.25);
    store.add(QStringLiteral("Write"), QStringLiteral("/src/a.c"), Behavior::deny);

    EXPECT_EQ(readAll(m_path), R"([{"behavior":"allow","createdAt":100.5,"key":"Bash: npm test","timesFired":0},)"
                               R"({"behavior":"deny","createdAt":100.75,"key":"Write: /src/a.c","timesFired":0}])");
}

TEST_F(RuleStoreTest, ReadsWhatOtherWritersProduce) {
    // Any member order, unknown members ignored, whole numbers written as floats, duplicates kept.
    writeFile(m_path, R"([{"timesFired":4.0,"key":"Bash: git log","createdAt":-86400.125,"behavior":"deny","note":1},
                          {"key":"Bash: npm ci","behavior":"Allow","createdAt":0,"timesFired":0},
                          {"key":"Bash: git log","behavior":"allow","createdAt":5,"timesFired":9}])");
    RuleStore store(m_path, m_clock);

    ASSERT_EQ(store.rules().size(), 3);
    EXPECT_EQ(store.rules().at(0), (Rule{QStringLiteral("Bash: git log"), QStringLiteral("deny"),
                                         QDateTime(QDate(2000, 12, 30), QTime(23, 59, 59, 875), QTimeZone::utc()), 4}));
    // The first rule with the key answers; any behavior other than "allow" denies.
    EXPECT_EQ(store.decision(QStringLiteral("Bash"), QStringLiteral("git log -3")), Behavior::deny);
    EXPECT_EQ(store.decision(QStringLiteral("Bash"), QStringLiteral("npm ci")), Behavior::deny);
    EXPECT_EQ(store.rules().at(0).timesFired, 5);
    EXPECT_EQ(store.rules().at(2).timesFired, 9);
}

TEST_F(RuleStoreTest, MissingFileStartsEmptyWithoutTouchingDisk) {
    RuleStore store(m_path, m_clock);
    EXPECT_TRUE(store.rules().isEmpty());
    EXPECT_FALSE(QFileInfo::exists(m_path));
    EXPECT_EQ(store.decision(QStringLiteral("Bash"), QStringLiteral("ls")), std::nullopt);
    EXPECT_FALSE(QFileInfo::exists(m_path)) << "no rule fired, nothing to save";

    store.add(QStringLiteral("Bash"), QStringLiteral("ls"), Behavior::allow);
    EXPECT_EQ(store.rules().size(), 1);
    EXPECT_TRUE(corruptCopies(m_path).isEmpty());
}

// Anything that exists but is not a valid list of rules: the store starts empty, the file stays as it is
// until the first save, which moves it aside instead of overwriting it.
TEST_F(RuleStoreTest, UnusableFileIsKeptAsideNotOverwritten) {
    const std::vector<std::pair<const char*, QByteArray>> cases = {
        {"not JSON", "[{\"key\":"},
        {"an object", R"({"key":"Bash: ls","behavior":"allow","createdAt":0,"timesFired":0})"},
        {"an element that is not an object", R"([["Bash: ls"]])"},
        {"a missing member", R"([{"key":"Bash: ls","behavior":"allow","createdAt":0}])"},
        {"a number as key", R"([{"key":7,"behavior":"allow","createdAt":0,"timesFired":0}])"},
        {"a text as count", R"([{"key":"Bash: ls","behavior":"allow","createdAt":0,"timesFired":"3"}])"},
        {"a fraction as count", R"([{"key":"Bash: ls","behavior":"allow","createdAt":0,"timesFired":1.5}])"},
        {"a text as date", R"([{"key":"Bash: ls","behavior":"allow","createdAt":"2024","timesFired":0}])"},
        {"null as behavior", R"([{"key":"Bash: ls","behavior":null,"createdAt":0,"timesFired":0}])"},
        {"one bad element among good ones",
         R"([{"key":"a","behavior":"allow","createdAt":0,"timesFired":0},{"key":"b","behavior":"allow"}])"},
        {"nesting too deep", QByteArray(600, '[') + QByteArray(600, ']')},
        {"invalid UTF-8", "[{\"key\":\"\xff\",\"behavior\":\"allow\",\"createdAt\":0,\"timesFired\":0}]"},
    };
    for (const auto& [name, content] : cases) {
        SCOPED_TRACE(name);
        QDir(AppPaths::dataDir()).removeRecursively();
        writeFile(m_path, content);

        RuleStore store(m_path, m_clock);
        EXPECT_TRUE(store.rules().isEmpty());
        EXPECT_EQ(readAll(m_path), content) << "loading never rewrites";
        EXPECT_TRUE(corruptCopies(m_path).isEmpty());

        store.add(QStringLiteral("Bash"), QStringLiteral("ls -la"), Behavior::allow);
        const QStringList aside = corruptCopies(m_path);
        ASSERT_EQ(aside.size(), 1);
        EXPECT_EQ(readAll(AppPaths::dataDir() + u'/' + aside.at(0)), content);
        RuleStore reloaded(m_path, m_clock);
        EXPECT_EQ(reloaded.rules(), store.rules());

        // Moved aside once; later saves simply replace our own file.
        store.add(QStringLiteral("Bash"), QStringLiteral("pwd"), Behavior::allow);
        EXPECT_EQ(corruptCopies(m_path).size(), 1);
    }
}

TEST_F(RuleStoreTest, UnreadableFileIsKeptAside) {
    // A folder where the file should be cannot be read as a file, even by root.
    QDir().mkpath(m_path);
    writeFile(m_path + QStringLiteral("/inside"), "keep me");
    RuleStore store(m_path, m_clock);
    EXPECT_TRUE(store.rules().isEmpty());

    store.add(QStringLiteral("Bash"), QStringLiteral("ls"), Behavior::allow);
    const QStringList aside = corruptCopies(m_path);
    ASSERT_EQ(aside.size(), 1);
    EXPECT_EQ(readAll(AppPaths::dataDir() + u'/' + aside.at(0) + QStringLiteral("/inside")), "keep me");
    EXPECT_EQ(RuleStore(m_path, m_clock).rules(), store.rules());
}

TEST_F(RuleStoreTest, SaveReplacesTheFileWholeAndKeepsItsMode) {
    RuleStore store(m_path, m_clock);
    store.add(QStringLiteral("Bash"), QStringLiteral("ls"), Behavior::allow);
    ASSERT_EQ(::chmod(QFile::encodeName(m_path).constData(), 0600), 0);
    const QByteArray before = readAll(m_path);
    QFile reader(m_path);
    ASSERT_TRUE(reader.open(QIODevice::ReadOnly));

    store.add(QStringLiteral("Bash"), QStringLiteral("pwd"), Behavior::allow);

    // A reader of the old file still sees it whole: the new one was renamed over it, not written into it.
    EXPECT_EQ(reader.readAll(), before);
    struct stat info {};
    ASSERT_EQ(::stat(QFile::encodeName(m_path).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    EXPECT_EQ(QDir(AppPaths::dataDir()).entryList(QDir::Files | QDir::Hidden),
              QStringList{QStringLiteral("rules.json")});
}

TEST_F(RuleStoreTest, FailedSaveKeepsTheRulesInMemory) {
    // The data folder cannot be created: a plain file is in its way.
    writeFile(AppPaths::root(), "in the way");
    RuleStore store(m_path, m_clock);
    store.add(QStringLiteral("Bash"), QStringLiteral("ls"), Behavior::allow);

    EXPECT_EQ(store.rules().size(), 1);
    EXPECT_EQ(store.decision(QStringLiteral("Bash"), QStringLiteral("ls")), Behavior::allow);
    EXPECT_EQ(readAll(AppPaths::root()), "in the way");
}

TEST_F(RuleStoreTest, RemoveForgetsEveryRuleWithTheKey) {
    writeFile(m_path, R"([{"key":"a","behavior":"allow","createdAt":0,"timesFired":0},
                          {"key":"b","behavior":"allow","createdAt":0,"timesFired":0},
                          {"key":"a","behavior":"deny","createdAt":1,"timesFired":2},
                          {"key":"c","behavior":"allow","createdAt":0,"timesFired":0}])");
    RuleStore store(m_path, m_clock);
    ChangeCounter changed(store);

    // Passing one of the store's own rules: the key must survive the removal that moves it.
    store.remove(store.rules().at(0));
    ASSERT_EQ(store.rules().size(), 2);
    EXPECT_EQ(store.rules().at(0).key, QStringLiteral("b"));
    EXPECT_EQ(store.rules().at(1).key, QStringLiteral("c"));
    EXPECT_EQ(changed.count, 1);
    EXPECT_EQ(RuleStore(m_path, m_clock).rules(), store.rules());

    // A rule no longer there only rewrites the file.
    QFile::remove(m_path);
    store.remove(Rule{QStringLiteral("a"), QStringLiteral("allow"), startTime(), 0});
    EXPECT_EQ(changed.count, 1);
    EXPECT_EQ(RuleStore(m_path, m_clock).rules(), store.rules());
}

TEST_F(RuleStoreTest, ObserversHearEveryRealChange) {
    RuleStore store(m_path, m_clock);
    ChangeCounter changed(store);
    store.add(QStringLiteral("Bash"), QStringLiteral("ls"), Behavior::allow);
    EXPECT_EQ(changed.count, 1);
    store.decision(QStringLiteral("Bash"), QStringLiteral("ls"));
    EXPECT_EQ(changed.count, 2) << "the count shown in the rules list moved";
    store.decision(QStringLiteral("Bash"), QStringLiteral("pwd"));
    EXPECT_EQ(changed.count, 2);
    EXPECT_EQ(store.property("rules").value<QList<Rule>>(), store.rules());
}
