#include "risk/RuleStore.h"
#include "TempHome.h"
#include "TestFiles.h"
#include "support/Clock.h"

#include <QTimeZone>
#include <gtest/gtest.h>

using Vorlix::Behavior;

namespace {

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
    EXPECT_EQ(TestFiles::read(m_path),
              R"([{"behavior":"allow","createdAt":100.5,"key":"Bash: npm test","timesFired":0},)"
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
    // Any member order, unknown members ignored, duplicates kept.
    TestFiles::write(m_path,
                     R"([{"timesFired":4,"key":"Bash: git log","createdAt":-86400.125,"behavior":"deny","note":1},
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
    // A rule no longer there only rewrites the file.
    QFile::remove(m_path);
    store.remove(Rule{"Bash: git log", "allow", QDateTime(), 0});
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(RuleStore(m_path, m_clock).rules(), store.rules());
}
