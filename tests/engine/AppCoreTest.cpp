#include "AppCore.h"
#include "EventLoop.h"
#include "TempHome.h"
#include "TestFiles.h"
#include "support/Log.h"

#include <gtest/gtest.h>

using Vorlix::Behavior;
using Vorlix::Canonical;

namespace {
Vorlix::Event event(Canonical kind, const std::string& session) {
    Vorlix::Event e;
    e.id = "E";
    e.source = Vorlix::Source::claude;
    e.event = kind;
    e.rawEvent = "x";
    e.sessionID = session;
    e.cwd = "/w/" + session;
    return e;
}

Vorlix::Event gate(const std::string& id, const std::string& session, const std::string& command) {
    auto e = event(Canonical::permissionRequest, session);
    e.id = id;
    e.gating = true;
    e.toolName = "Bash";
    e.toolInput = *JSONValue::parse(R"({"command":")" + command + R"("})");
    return e;
}

struct CoreFixture : ::testing::Test {
    TempHome home;
    // Berlin, so that local and UTC hours differ.
    ManualClock clock{QDateTime(QDate(2026, 3, 14), QTime(3, 30), QTimeZone("Europe/Berlin")).toUTC(),
                      QTimeZone("Europe/Berlin")};
    std::vector<QString> logged;
    std::unique_ptr<AppCore> core;
    std::vector<AppCore::Cue> cues;
    QStringList achievements;

    void make(quint16 phonePort = 0) {
        Log::setSink([this](const QString& line) { logged.push_back(line); });
        AppCore::Options options;
        options.clock = &clock;
        options.phonePort = phonePort != 0 ? phonePort : TestFiles::freePort();
        core = std::make_unique<AppCore>(options);
        QObject::connect(core.get(), &AppCore::cue, [this](AppCore::Cue c) { cues.push_back(c); });
        QObject::connect(core.get(), &AppCore::achievementUnlocked,
                         [this](const Achievement& a) { achievements << a.id; });
    }
    ~CoreFixture() override {
        if (core)
            core->shutdown();
        core.reset();
        Log::setSink({});
    }
    void answer(const std::string& id, const std::string& command, Behavior behavior) {
        core->setPanelUp(true);
        core->store().openGate(gate(id, "s-" + id, command), std::make_shared<GateBox>());
        core->store().decideOnCard(core->store().gateWithId(QString::fromStdString(id)), behavior);
    }
};
} // namespace

TEST_F(CoreFixture, StartsInOrderAndLogsItsLines) {
    qputenv("VORLIX_REMOTE", "1");
    make();
    core->start(false, 0, 32, 0);
    qunsetenv("VORLIX_REMOTE");
    ASSERT_EQ(logged.size(), 4u);
    EXPECT_TRUE(logged[0].startsWith("VORLIX_REMOTE_URL http://")) << logged[0].toStdString();
    EXPECT_TRUE(logged[1].contains("plain HTTP on every network interface")) << logged[1].toStdString();
    EXPECT_TRUE(logged[2].startsWith("Vorlix Agents listening on "));
    EXPECT_EQ(logged[3], "Vorlix Agents up. notch=false w=0 h=32 screen=0");
    EXPECT_TRUE(core->remote().enabled());
    EXPECT_EQ(cues, std::vector<AppCore::Cue>{AppCore::Cue::launch});
    core->start(false, 0, 32, 0);
    EXPECT_EQ(logged.size(), 4u) << "the body runs once";
}

// Whoever can write to the run folder could answer every gate: no socket there unless it is ours alone.
// Only the value 1 enables the phone page.
TEST_F(CoreFixture, NoSocketInARunFolderThatCannotBeMadePrivate) {
    TestFiles::write(AppPaths::runDir(), "a file where the folder belongs");
    qputenv("VORLIX_REMOTE", "true");
    make();
    core->start(false, 0, 32, 0);
    qunsetenv("VORLIX_REMOTE");
    EXPECT_EQ(core->server(), nullptr);
    EXPECT_FALSE(core->remote().enabled());
    EXPECT_EQ(logged.at(0), "Vorlix Agents: could not open socket: " + AppPaths::runDir() + " is not a folder");
}

TEST_F(CoreFixture, AuditWiringFeedsTheJournalAndTheGame) {
    make();
    core->start(false, 0, 32, 0);
    answer("g1", "make", Behavior::allow); // 03:30 local: first blood and night owl
    EXPECT_EQ(achievements, QStringList({"first-blood", "night-owl"}));
    EXPECT_EQ(core->auditLog().today().size(), 1);

    answer("g2", "rm -rf /", Behavior::deny);
    answer("g3", "npm install left-pad", Behavior::deny);
    EXPECT_EQ(core->game().bossesBeaten(), 1);

    // Full house: four sessions not done when an entry arrives (g1..g3 made three).
    EXPECT_FALSE(achievements.contains("full-house"));
    core->store().apply(event(Canonical::userPromptSubmit, "fourth"));
    core->store().apply(event(Canonical::postToolUse, "fourth"));
    EXPECT_TRUE(achievements.contains("full-house"));
}

TEST_F(CoreFixture, SilenceStopsCuesButNotAchievements) {
    make();
    core->prefs().setSoundEnabled(false);
    core->start(false, 0, 32, 0);
    answer("g", "make", Behavior::allow);
    core->store().apply(event(Canonical::stop, "s-g"));
    EXPECT_TRUE(cues.empty());
    EXPECT_TRUE(achievements.contains("first-blood"));

    core->prefs().setSoundEnabled(true);
    core->store().openGate(gate("h", "t", "make"), std::make_shared<GateBox>());
    core->store().decideOnCard(core->store().gateWithId("h"), Behavior::deny);
    core->store().apply(event(Canonical::userPromptSubmit, "t"));
    core->store().apply(event(Canonical::stop, "t"));
    EXPECT_EQ(cues, (std::vector<AppCore::Cue>{AppCore::Cue::needsApproval, AppCore::Cue::denied, AppCore::Cue::done}));
}

TEST_F(CoreFixture, RulesAndPolicyAnswerThroughTheWiring) {
    make();
    core->start(false, 0, 32, 0);
    const auto decide = [&](const std::string& id, const std::string& command) {
        auto box = std::make_shared<GateBox>();
        core->store().openGate(gate(id, "s", command), box);
        return box->decision();
    };
    EXPECT_EQ(decide("p", "git status"),
              (Vorlix::Decision{Behavior::allow, std::string("Vorlix Agents: auto-approved (safe)")}));
    core->prefs().setAutoApproveLevel(-1);
    EXPECT_FALSE(decide("q", "git status")) << "ask about everything";
    core->rules().add("Bash", "make deploy", Behavior::deny);
    EXPECT_EQ(decide("r", "make deploy"),
              (Vorlix::Decision{Behavior::deny, std::string("Vorlix Agents: matched your rule")}));
}

// A person's gate waits only while the panel or a listening phone page can put it to them; otherwise the agent
// gets no decision at once and asks in its own terminal.
TEST_F(CoreFixture, AGateWaitsOnlyWhenSomeoneCanAnswer) {
    QTcpServer taken;
    ASSERT_TRUE(taken.listen(QHostAddress::Any, 0));
    qputenv("VORLIX_REMOTE", "1");
    make(taken.serverPort());
    core->start(false, 0, 32, 0);
    qunsetenv("VORLIX_REMOTE");
    ASSERT_FALSE(logged.empty());
    EXPECT_TRUE(logged[0].startsWith("Vorlix Agents: phone approvals unavailable: Could not listen on port "))
        << logged[0].toStdString();
    for (const QString& line : logged)
        EXPECT_FALSE(line.startsWith("VORLIX_REMOTE_URL")) << "no URL for a page nobody serves";

    const auto opens = [&](const std::string& id) {
        auto box = std::make_shared<GateBox>();
        core->store().openGate(gate(id, "s", "rm -rf build"), box);
        return core->store().gateWithId(QString::fromStdString(id)) != nullptr && box->isOpen();
    };
    EXPECT_FALSE(opens("nobody"));

    core->setPanelUp(true);
    EXPECT_TRUE(opens("panel"));
    core->setPanelUp(false);
    taken.close();
    core->remote().enable();
    ASSERT_TRUE(core->remote().enabled());
    EXPECT_TRUE(opens("phone"));
}
