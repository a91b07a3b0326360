#include "sessions/SessionStore.h"
#include "EventLoop.h"

#include <gtest/gtest.h>

using Vorlix::Behavior;
using Vorlix::Canonical;
using Vorlix::Source;

namespace {
Vorlix::Event event(Canonical kind, std::optional<std::string> session = std::string("s1"),
                    std::optional<std::string> tool = std::nullopt, Source source = Source::claude) {
    Vorlix::Event e;
    e.id = "E-" + std::to_string(reinterpret_cast<std::uintptr_t>(&e) % 100000);
    e.source = source;
    e.event = kind;
    e.rawEvent = std::string(Vorlix::rawValue(kind));
    e.sessionID = std::move(session);
    e.toolName = std::move(tool);
    e.terminal.ppid = 1;
    return e;
}

Vorlix::Event gating(const std::string& id, const std::string& session, const std::string& tool,
                     const std::string& command) {
    auto e = event(Canonical::permissionRequest, session, tool);
    e.id = id;
    e.gating = true;
    e.toolInput = *JSONValue::parse(R"({"command":")" + command + R"("})");
    e.cwd = "/work/app";
    return e;
}

struct StoreFixture : ::testing::Test {
    ManualClock clock;
    SessionStore store{clock};
    std::vector<AuditEntry> audited;
    QStringList auditedKinds;
    int opened = 0, done = 0;
    std::vector<Behavior> closed;

    StoreFixture() {
        store.audit = [this](const AuditEntry& e) {
            audited.push_back(e);
            auditedKinds << e.kind;
        };
        store.onGateOpened = [this] { ++opened; };
        store.onGateClosed = [this](Behavior b) { closed.push_back(b); };
        store.onSessionDone = [this] { ++done; };
        // Rate everything by a fixed table so these tests do not depend on the classifier's patterns.
        store.assess = [](const QString&, const QString& detail, const std::optional<QString>&) {
            if (detail.contains(QLatin1String("rm -rf")))
                return RiskVerdict{Risk::critical, {QStringLiteral("recursive/forced delete")}};
            if (detail.startsWith(QLatin1String("git status")))
                return RiskVerdict{Risk::trivial, {QStringLiteral("read-only")}};
            return RiskVerdict{Risk::normal, {QStringLiteral("ordinary")}};
        };
    }
    Session* only() { return store.sessions().size() == 1 ? store.sessions().first() : nullptr; }
    // What the session shows: its sprite and its activity line.
    static std::pair<SpriteKind, QString> look(const Session* s) { return {s->state(), s->activity()}; }
};
} // namespace

TEST(SessionStoreStatics, SpriteForAndShortTool) {
    using enum SpriteKind;
    // The names that do not give their family away.
    const std::pair<const char*, SpriteKind> sprites[] = {{"Task", question},          {"ExitPlanMode", planReview},
                                                          {"WebFetch", needsApproval}, {"AskUserQuestion", question},
                                                          {"exec_command", shell},     {"MultiEdit", writing}};
    for (const auto& [tool, kind] : sprites)
        EXPECT_EQ(SessionStore::spriteFor(QString::fromUtf8(tool)), kind) << tool;

    EXPECT_EQ(SessionStore::shortTool("mcp__github__create_issue"), "create_issue");
    EXPECT_EQ(SessionStore::shortTool("mcp__github__"), "mcp__github__");
    EXPECT_EQ(SessionStore::shortTool("abcdefghijklmnop"), "abcdefghijklmnop");
    EXPECT_EQ(SessionStore::shortTool("abcdefghijklmnopq"), QString("abcdefghijklmno") + QChar(0x2026));
    // Sixteen user-perceived characters, each two code points, stay whole.
    const QString accented = QString("e\u0301").repeated(16);
    EXPECT_EQ(SessionStore::shortTool(accented), accented);
    EXPECT_EQ(SessionStore::shortTool(accented + "x"), QString("e\u0301").repeated(15) + QChar(0x2026));

    EXPECT_EQ(QStringList({Session::elapsedText(59), Session::elapsedText(60), Session::elapsedText(3725)}),
              QStringList({"59s", "1m 0s", "62m 5s"}));
    EXPECT_EQ(QStringList({Session::projectName("/a/b/web/"), Session::projectName("~")}), QStringList({"web", "~"}));
}

TEST_F(StoreFixture, EventsMoveTheSessionThroughItsStates) {
    // The event and its tool; then the sprite, the activity line and the tools counted.
    const std::tuple<Canonical, std::optional<std::string>, SpriteKind, const char*, qint64> steps[] = {
        {Canonical::sessionStart, std::nullopt, SpriteKind::idle, "Session started", 0},
        {Canonical::userPromptSubmit, std::nullopt, SpriteKind::thinking, "Thinking", 0},
        {Canonical::preToolUse, std::string("Read"), SpriteKind::reading, "Running Read", 0},
        {Canonical::preToolUse, std::nullopt, SpriteKind::thinking, "Working", 0},
        {Canonical::postToolUse, std::string("mcp__fs__write_file"), SpriteKind::writing, "Ran write_file", 1},
        {Canonical::postToolUse, std::nullopt, SpriteKind::thinking, "Working", 2},
        {Canonical::notification, std::nullopt, SpriteKind::thinking, "Notification", 2},
        {Canonical::permissionRequest, std::string("Bash"), SpriteKind::thinking, "Notification", 2},
        {Canonical::other, std::nullopt, SpriteKind::thinking, "Notification", 2},
        {Canonical::stop, std::nullopt, SpriteKind::done, "Done", 2},
        {Canonical::userPromptSubmit, std::nullopt, SpriteKind::thinking, "Thinking", 2},
    };
    for (const auto& [kind, tool, state, activity, tools] : steps) {
        SCOPED_TRACE(std::string(Vorlix::rawValue(kind)));
        store.apply(event(kind, std::string("s1"), tool));
        ASSERT_NE(only(), nullptr);
        EXPECT_EQ(look(only()), std::pair(state, QString(activity)));
        EXPECT_EQ(only()->toolCount(), tools);
    }
    ASSERT_EQ(auditedKinds, QStringList({"tool", "tool"}));
    EXPECT_EQ(audited[0].tool, "mcp__fs__write_file");
    EXPECT_EQ(audited[1].tool, "tool");
    EXPECT_FALSE(audited[1].risk);
    store.apply(event(Canonical::sessionEnd));
    EXPECT_TRUE(store.sessions().isEmpty());
}

TEST_F(StoreFixture, LookupKeysSessionsAndKeepsTheFirstTerminal) {
    auto first = event(Canonical::sessionStart, std::nullopt, std::nullopt, Source::codex);
    first.terminal.tmuxPane = "%1";
    store.apply(first);
    auto second = event(Canonical::userPromptSubmit, std::nullopt, std::nullopt, Source::codex);
    second.cwd = "/b/web";
    second.terminal.tmuxPane = "%9";
    second.transcriptPath = "/t.jsonl";
    store.apply(second);
    ASSERT_NE(only(), nullptr);
    EXPECT_EQ(only()->id(), "codex-unknown");
    EXPECT_EQ(only()->cwd(), "/b/web");
    EXPECT_EQ(only()->terminal()->tmuxPane, "%1");
    EXPECT_EQ(only()->transcriptPath(), "/t.jsonl");

    // The same id from another agent is the same session.
    store.apply(event(Canonical::stop, std::string("codex-unknown"), std::nullopt, Source::claude));
    EXPECT_EQ(store.sessions().size(), 1);

    // A first event without a working directory shows "~"; a post-tool-use creates with one tool counted.
    store.apply(event(Canonical::postToolUse, std::string("fresh"), std::string("Bash")));
    EXPECT_EQ(store.sessionWithId("fresh")->cwd(), "~");
    EXPECT_EQ(store.sessionWithId("fresh")->toolCount(), 1);

    // A session-end for an unknown key creates and removes it at once.
    store.apply(event(Canonical::sessionEnd, std::string("ghost")));
    EXPECT_EQ(store.sessionWithId("ghost"), nullptr);
}

TEST_F(StoreFixture, DoneSessionsCelebrateOnceAndArePrunedAfterTwentyFiveQuietSeconds) {
    std::vector<Source> laps;
    QObject::connect(&store, &SessionStore::celebrated, [&](Source source) { laps.push_back(source); });
    store.apply(event(Canonical::stop, std::string("a")));
    store.apply(event(Canonical::stop, std::string("a")));
    store.apply(event(Canonical::stop, std::string("b"), std::nullopt, Source::kiro));
    store.apply(event(Canonical::userPromptSubmit, std::string("quiet")));
    EXPECT_EQ(done, 2) << "a repeated stop is not a second finish";
    EXPECT_EQ(laps, (std::vector<Source>{Source::claude, Source::kiro}));
    clock.advance(10);
    store.apply(event(Canonical::userPromptSubmit, std::string("b")));
    clock.advance(15);
    store.refreshContext(); // exactly 25 s: kept
    EXPECT_NE(store.sessionWithId("a"), nullptr);
    clock.advance(1);
    store.refreshContext();
    EXPECT_EQ(store.sessionWithId("a"), nullptr);
    EXPECT_NE(store.sessionWithId("b"), nullptr);
    clock.advance(3600);
    store.refreshContext();
    EXPECT_NE(store.sessionWithId("quiet"), nullptr) << "unfinished sessions are never pruned";
}

TEST_F(StoreFixture, RefreshReadsContextOnlyWhenFoundAndChanged) {
    std::optional<ContextUsage> next = ContextUsage{45000, 200000};
    int reads = 0;
    store.readContext = [&](const QString& path, qint64 limit) {
        ++reads;
        EXPECT_EQ(std::pair(path, limit), std::pair(QString("/t.jsonl"), qint64(200000)));
        return next;
    };
    auto e = event(Canonical::sessionStart);
    e.transcriptPath = "/t.jsonl";
    store.apply(e);
    store.apply(event(Canonical::sessionStart, std::string("no-transcript")));
    int changes = 0;
    QObject::connect(store.sessionWithId("s1"), &Session::contextChanged, [&] { ++changes; });
    store.refreshContext();
    store.refreshContext();
    EXPECT_EQ(reads, 2);
    EXPECT_EQ(changes, 1);
    next = std::nullopt;
    store.refreshContext();
    EXPECT_EQ(store.sessionWithId("s1")->context(), (ContextUsage{45000, 200000}));
}

TEST_F(StoreFixture, ConflictsAndActiveGate) {
    for (auto [id, cwd] : {std::pair{"1", "/a/web"}, std::pair{"2", "/b/web"}, std::pair{"3", "/c/api"}}) {
        auto e = event(Canonical::userPromptSubmit, std::string(id));
        e.cwd = cwd;
        store.apply(e);
    }
    EXPECT_EQ(store.conflicts(), QStringList{"web"});
    store.apply(event(Canonical::stop, std::string("2")));
    EXPECT_TRUE(store.conflicts().isEmpty());

    store.openGate(gating("g1", "X", "Bash", "make"), std::make_shared<GateBox>());
    store.openGate(gating("g2", "Y", "Bash", "make"), std::make_shared<GateBox>());
    ASSERT_TRUE(store.activeGate());
    EXPECT_EQ(store.activeGate()->gate->id(), "g1");
    store.apply(event(Canonical::sessionEnd, std::string("X")));
    EXPECT_FALSE(store.activeGate()) << "later gates are not consulted";
    EXPECT_EQ(store.gates().size(), 2);
}

TEST_F(StoreFixture, RuleAnswersBeforeThePolicyAndNeverQueues) {
    store.shouldAutoApprove = [](const RiskVerdict&) { return true; };
    store.autoDecide = [](const QString& tool, const QString&) -> std::optional<Behavior> {
        if (tool == "Bash")
            return Behavior::deny;
        return std::nullopt;
    };
    auto box = std::make_shared<GateBox>();
    store.openGate(gating("g", "s", "Bash", "git status"), box);
    EXPECT_EQ(box->decision(), (Vorlix::Decision{Behavior::deny, std::string("Vorlix Agents: matched your rule")}));
    EXPECT_TRUE(store.gates().isEmpty());
    EXPECT_EQ(look(only()), std::pair(SpriteKind::error, QString("Blocked Bash")));
    EXPECT_EQ(only()->toolCount(), 0);
    ASSERT_EQ(auditedKinds, QStringList{"auto-denied"});
    EXPECT_EQ(audited[0].risk, 0);
    EXPECT_EQ(audited[0].detail, "git status");
    EXPECT_EQ(opened, 0);
}

TEST_F(StoreFixture, PolicyApprovesSafeCallsAndCountsTheTool) {
    int flowed = 0;
    store.onWorkFlowed = [&] { ++flowed; };
    store.shouldAutoApprove = [](const RiskVerdict& v) { return rank(v.level) <= 0; };
    auto box = std::make_shared<GateBox>();
    store.openGate(gating("g", "s", "Bash", "git status"), box);
    EXPECT_EQ(box->decision(), (Vorlix::Decision{Behavior::allow, std::string("Vorlix Agents: auto-approved (safe)")}));
    EXPECT_EQ(look(only()), std::pair(SpriteKind::shell, QString("Running Bash")));
    EXPECT_EQ(only()->toolCount(), 1);
    EXPECT_EQ(flowed, 1);
    EXPECT_EQ(auditedKinds, QStringList{"auto-allowed"});

    auto risky = std::make_shared<GateBox>();
    store.openGate(gating("h", "s", "Bash", "rm -rf build"), risky);
    EXPECT_FALSE(risky->decision());
    EXPECT_EQ(opened, 1);
    EXPECT_EQ(look(only()), std::pair(SpriteKind::needsApproval, QString("Waiting on you")));
    EXPECT_EQ(store.gates().first()->risk().level, Risk::critical);
    EXPECT_EQ(store.gates().first()->kind(), SpriteKind::shell);
}

TEST_F(StoreFixture, ClosingGatesInEveryWay) {
    auto b1 = std::make_shared<GateBox>(), b2 = std::make_shared<GateBox>(), b3 = std::make_shared<GateBox>();
    store.openGate(gating("A1", "A", "Bash", "make"), b1);
    store.openGate(gating("B1", "B", "Edit", "x.cpp"), b2);
    store.openGate(gating("A2", "A", "Bash", "rm -rf out"), b3);
    EXPECT_EQ(store.activeGate()->gate->id(), "A1");

    // The card answers A1: no message, A stays waiting because A2 is open, B's gate shows next.
    store.decideOnCard(store.activeGate()->gate, Behavior::allow);
    EXPECT_EQ(b1->decision(), Vorlix::Decision{Behavior::allow});
    EXPECT_EQ(store.sessionWithId("A")->state(), SpriteKind::needsApproval);
    EXPECT_EQ(store.activeGate()->gate->id(), "B1");

    // A late phone tap on the answered gate does nothing.
    store.resolveRemotely("A1", Behavior::deny);
    EXPECT_EQ(b1->decision(), Vorlix::Decision{Behavior::allow});

    store.resolveRemotely("A2", Behavior::deny);
    EXPECT_EQ(b3->decision(), (Vorlix::Decision{Behavior::deny, std::string("Vorlix Agents: denied from your phone")}));
    EXPECT_EQ(look(store.sessionWithId("A")), std::pair(SpriteKind::error, QString("Blocked Bash")));

    // The server's close after a time-out: no sound, no record, back to thinking.
    store.closeGate(QStringLiteral("B1"));
    EXPECT_EQ(look(store.sessionWithId("B")), std::pair(SpriteKind::thinking, QString("Working")));
    EXPECT_TRUE(store.gates().isEmpty());
    EXPECT_EQ(closed, (std::vector<Behavior>{Behavior::allow, Behavior::deny}));
    ASSERT_EQ(auditedKinds, QStringList({"approved", "denied"}));
    EXPECT_EQ(audited[1].risk, 3);
    EXPECT_EQ(audited[1].project, "app");

    // A phone approval runs the tool; a gate whose session ended still sounds but leaves no record.
    auto phone = std::make_shared<GateBox>(), late = std::make_shared<GateBox>();
    store.openGate(gating("G", "S", "Write", "/w/a.txt"), phone);
    store.resolveRemotely("G", Behavior::allow);
    EXPECT_EQ(phone->decision(),
              (Vorlix::Decision{Behavior::allow, std::string("Vorlix Agents: approved from your phone")}));
    EXPECT_EQ(look(store.sessionWithId("S")), std::pair(SpriteKind::writing, QString("Running Write")));
    store.openGate(gating("H", "S", "Write", "/w/b.txt"), late);
    store.apply(event(Canonical::sessionEnd, std::string("S")));
    audited.clear();
    closed.clear();
    store.decideOnCard(store.gates().first(), Behavior::deny);
    EXPECT_EQ(closed, std::vector<Behavior>{Behavior::deny});
    EXPECT_TRUE(audited.empty());
}
