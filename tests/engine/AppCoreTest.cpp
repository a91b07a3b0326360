#include "AppCore.h"
#include "LogCapture.h"
#include "StoreEvents.h"
#include "TempHome.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

using Vorlix::Behavior;
using Vorlix::Canonical;

namespace {
struct CoreFixture : ::testing::Test {
    TempHome home;
    // Berlin, so that local and UTC hours differ.
    ManualClock clock{QDateTime(QDate(2026, 3, 14), QTime(3, 30), QTimeZone("Europe/Berlin")).toUTC(),
                      QTimeZone("Europe/Berlin")};
    LogCapture logged;
    std::unique_ptr<AppCore> core;
    std::vector<Cue> cues;
    QStringList achievements;

    ~CoreFixture() override {
        if (core)
            core->shutdown();
        core.reset();
    }
    // Starts the core, with the phone page asked for by VORLIX_REMOTE=remote when given.
    void startCore(const char* remote = nullptr, quint16 phonePort = 0) {
        if (remote)
            qputenv("VORLIX_REMOTE", remote);
        AppCore::Options options;
        options.clock = &clock;
        options.phonePort = phonePort != 0 ? phonePort : TestFiles::freePort();
        core = std::make_unique<AppCore>(options);
        QObject::connect(core.get(), &AppCore::cue, [this](Cue c) { cues.push_back(c); });
        QObject::connect(core.get(), &AppCore::achievementUnlocked,
                         [this](const Achievement& a) { achievements << a.id; });
        core->start(false, 0, 32, 0);
        qunsetenv("VORLIX_REMOTE");
    }
    std::shared_ptr<GateBox> open(const std::string& session, const std::string& command) {
        return openPanelGate(core->store(), session, "Bash", R"({"command":")" + command + R"("})");
    }
    void apply(Canonical kind, const std::string& session) { core->store().apply(panelEvent(session, kind, "", "")); }
    // A person answers a new gate on the card.
    void answer(const std::string& session, const std::string& command, Behavior behavior) {
        core->setPanelUp(true);
        open(session, command);
        ASSERT_EQ(core->store().gates().size(), 1);
        core->store().decide(core->store().gates().first()->id(), behavior, SessionStore::Surface::card);
    }
};
} // namespace

// Whoever can write to the run folder could answer every gate: no socket there unless it is ours alone.
// Only the value 1 enables the phone page.
TEST_F(CoreFixture, NoSocketInARunFolderThatCannotBeMadePrivate) {
    TestFiles::write(AppPaths::runDir(), "a file where the folder belongs");
    startCore("true");
    EXPECT_EQ(core->server(), nullptr);
    EXPECT_FALSE(core->remote().enabled());
    EXPECT_EQ(logged.lines.at(0), "Vorlix Agents: could not open socket: " + AppPaths::runDir() + " is not a folder");
}

// Silence stops the cues, never the journal or the game.
TEST_F(CoreFixture, AuditWiringFeedsTheJournalAndTheGame) {
    startCore();
    core->prefs().setSoundEnabled(false);
    answer("s1", "make", Behavior::allow); // 03:30 local: first blood and night owl
    EXPECT_EQ(achievements, QStringList({"first-blood", "night-owl"}));
    EXPECT_EQ(core->auditLog().today().size(), 1);

    answer("s2", "rm -rf /", Behavior::deny);
    answer("s3", "npm install left-pad", Behavior::deny);
    EXPECT_EQ(core->game().bossesBeaten(), 1);

    // Full house: four sessions not done when an entry arrives (s1..s3 made three).
    EXPECT_FALSE(achievements.contains("full-house"));
    apply(Canonical::userPromptSubmit, "fourth");
    apply(Canonical::postToolUse, "fourth");
    EXPECT_TRUE(achievements.contains("full-house"));
    apply(Canonical::stop, "s1");
    EXPECT_EQ(cues, std::vector<Cue>{Cue::launch});

    core->prefs().setSoundEnabled(true);
    answer("t", "make", Behavior::deny);
    apply(Canonical::userPromptSubmit, "t");
    apply(Canonical::stop, "t");
    using enum Cue;
    EXPECT_EQ(cues, (std::vector<Cue>{launch, needsApproval, denied, done}));
}

// (The level's answers and a change of it: the headless application's test.)
TEST_F(CoreFixture, RulesAnswerThroughTheWiring) {
    startCore();
    core->rules().add("Bash", "make deploy", Behavior::deny);
    EXPECT_EQ(open("s", "make deploy")->decision(),
              (Vorlix::Decision{Behavior::deny, std::string("Vorlix Agents: matched your rule")}));
}

// A person's gate waits only while the panel or a listening phone page can put it to them; otherwise the agent
// gets no decision at once and asks in its own terminal.
TEST_F(CoreFixture, AGateWaitsOnlyWhenSomeoneCanAnswer) {
    QTcpServer taken;
    ASSERT_TRUE(taken.listen(QHostAddress::Any, 0));
    startCore("1", taken.serverPort());
    ASSERT_FALSE(logged.lines.empty());
    EXPECT_TRUE(logged.lines[0].startsWith("Vorlix Agents: phone approvals unavailable: Could not listen on port "))
        << logged.lines[0].toStdString();
    for (const QString& line : logged.lines)
        EXPECT_FALSE(line.startsWith("VORLIX_REMOTE_URL")) << "no URL for a page nobody serves";

    const auto opens = [&] {
        const qsizetype before = core->store().gates().size();
        return open("s", "rm -rf build")->isOpen() && core->store().gates().size() == before + 1;
    };
    EXPECT_FALSE(opens()) << "nobody";

    core->setPanelUp(true);
    EXPECT_TRUE(opens()) << "panel";
    core->setPanelUp(false);
    taken.close();
    core->remote().enable();
    ASSERT_TRUE(core->remote().enabled());
    EXPECT_TRUE(opens()) << "phone";
}
