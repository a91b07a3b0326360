#include "sessions/SessionStore.h"
#include "BridgeProcess.h"
#include "EventLoop.h"
#include "HookPayload.h"
#include "TestFiles.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

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

// Rates everything by a fixed table, so these tests do not depend on the classifier's patterns, and keeps what the
// store asks and records.
struct TablePolicy final : GatePolicy {
    std::vector<AuditEntry> audited;
    QStringList kinds;
    std::optional<Behavior> rule;
    std::optional<int> approveUpTo;

    RiskVerdict assess(const QString&, const QString& detail, const std::optional<QString>&) const override {
        if (detail.contains(QLatin1String("rm -rf")))
            return RiskVerdict{Risk::critical, {QStringLiteral("recursive/forced delete")}};
        if (detail.startsWith(QLatin1String("git status")))
            return RiskVerdict{Risk::trivial, {QStringLiteral("read-only")}};
        return RiskVerdict{Risk::normal, {QStringLiteral("ordinary")}};
    }
    std::optional<Behavior> ruleDecision(const QString&, const QString&, const RiskVerdict&) const override {
        return rule;
    }
    bool autoApproves(const RiskVerdict& verdict) const override {
        return approveUpTo && rank(verdict.level) <= *approveUpTo;
    }
    void record(const AuditEntry& entry) override {
        audited.push_back(entry);
        kinds << entry.kind;
    }
};

struct StoreFixture : ::testing::Test {
    ManualClock clock;
    TablePolicy policy;
    SessionStore store{clock};
    int opened = 0, done = 0;
    std::vector<Behavior> closed;

    StoreFixture() {
        store.setPolicy(&policy);
        QObject::connect(&store, &SessionStore::gateOpened, [this] { ++opened; });
        QObject::connect(&store, &SessionStore::gateDecided, [this](Behavior b) { closed.push_back(b); });
        QObject::connect(&store, &SessionStore::sessionDone, [this] { ++done; });
    }
    Session* only() { return store.sessions().size() == 1 ? store.sessions().first() : nullptr; }
    // What the session shows: its sprite and its activity line.
    static std::pair<SpriteKind, QString> look(const Session* s) { return {s->state(), s->activity()}; }
};
} // namespace

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
    ASSERT_EQ(policy.kinds, QStringList({"tool", "tool"}));
    EXPECT_EQ(std::tuple(policy.audited[0].tool, policy.audited[1].tool, policy.audited[1].risk),
              std::tuple(QString("mcp__fs__write_file"), QString("tool"), std::optional<int>()));
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

    // A session-end for an unknown key creates and removes it at once.
    store.apply(event(Canonical::sessionEnd, std::string("ghost")));
    EXPECT_EQ(store.sessionWithId("ghost"), nullptr);
}

TEST_F(StoreFixture, DoneSessionsCelebrateOnceAndArePrunedAfterTwentyFiveQuietSeconds) {
    store.apply(event(Canonical::stop, std::string("a")));
    store.apply(event(Canonical::stop, std::string("a")));
    store.apply(event(Canonical::stop, std::string("b"), std::nullopt, Source::kiro));
    store.apply(event(Canonical::userPromptSubmit, std::string("quiet")));
    EXPECT_EQ(done, 2) << "a repeated stop is not a second finish";
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

TEST_F(StoreFixture, Conflicts) {
    for (auto [id, cwd] : {std::pair{"1", "/a/web"}, std::pair{"2", "/b/web"}, std::pair{"3", "/c/api"}}) {
        auto e = event(Canonical::userPromptSubmit, std::string(id));
        e.cwd = cwd;
        store.apply(e);
    }
    EXPECT_EQ(store.conflicts(), QStringList{"web"});
    store.apply(event(Canonical::stop, std::string("2")));
    EXPECT_TRUE(store.conflicts().isEmpty());
}

// A Write with a relative path is compared with the file in the folder the event came from, not shown as all new.
TEST_F(StoreFixture, AWriteIsComparedWithTheFileInTheEventsFolder) {
    QTemporaryDir dir;
    TestFiles::write(dir.filePath("notes.md"), "keep\nold\n");
    auto e = gating("w1", "S", "Write", "");
    e.toolInput = *JSONValue::parse(R"({"file_path":"notes.md","content":"keep\nnew\n"})");
    e.cwd = dir.path().toStdString();
    store.openGate(e, std::make_shared<GateBox>());
    ASSERT_TRUE(store.activeGate() && store.activeGate()->gate->change());
    using Kind = DiffLine::Kind;
    EXPECT_EQ(store.activeGate()->gate->change()->lines,
              QList<DiffLine>({{Kind::context, "keep"}, {Kind::removed, "old"}, {Kind::added, "new"}}));
}

// A rule answers before the level; neither queues a gate. Only the level's approval counts as a tool run.
TEST_F(StoreFixture, RulesAndTheLevelAnswerWithoutAQueue) {
    policy.approveUpTo = 0;
    policy.rule = Behavior::deny;
    auto ruled = std::make_shared<GateBox>();
    store.openGate(gating("g", "s", "Bash", "git status"), ruled);
    EXPECT_EQ(ruled->decision(), (Vorlix::Decision{Behavior::deny, std::string("Vorlix Agents: matched your rule")}));
    EXPECT_EQ(look(only()), std::pair(SpriteKind::error, QString("Blocked Bash")));
    EXPECT_EQ(only()->toolCount(), 0);

    policy.rule.reset();
    auto safe = std::make_shared<GateBox>();
    store.openGate(gating("h", "s", "Bash", "git status"), safe);
    EXPECT_EQ(safe->decision(),
              (Vorlix::Decision{Behavior::allow, std::string("Vorlix Agents: auto-approved (safe)")}));
    EXPECT_EQ(only()->toolCount(), 1);
    EXPECT_TRUE(store.gates().isEmpty());
    EXPECT_EQ(opened, 0);
    ASSERT_EQ(policy.kinds, QStringList({"auto-denied", "auto-allowed"}));
    EXPECT_EQ(policy.audited[0].risk, 0);
    EXPECT_EQ(policy.audited[0].detail, "git status");

    auto risky = std::make_shared<GateBox>();
    store.openGate(gating("i", "s", "Bash", "rm -rf build"), risky);
    EXPECT_FALSE(risky->decision());
    EXPECT_EQ(opened, 1);
    EXPECT_EQ(look(only()), std::pair(SpriteKind::needsApproval, QString("Waiting on you")));
}

TEST_F(StoreFixture, ClosingGatesInEveryWay) {
    using enum SessionStore::Surface;
    auto b1 = std::make_shared<GateBox>(), b2 = std::make_shared<GateBox>(), b3 = std::make_shared<GateBox>();
    store.openGate(gating("A1", "A", "Bash", "make"), b1);
    store.openGate(gating("B1", "B", "Edit", "x.cpp"), b2);
    store.openGate(gating("A2", "A", "Bash", "rm -rf out"), b3);
    EXPECT_EQ(store.activeGate()->gate->id(), "A1");

    // The card answers A1: no message, A stays waiting because A2 is open, B's gate shows next.
    EXPECT_TRUE(store.decide("A1", Behavior::allow, card));
    EXPECT_EQ(b1->decision(), Vorlix::Decision{Behavior::allow});
    EXPECT_EQ(store.sessionWithId("A")->state(), SpriteKind::needsApproval);
    EXPECT_EQ(store.activeGate()->gate->id(), "B1");

    EXPECT_TRUE(store.decide("A2", Behavior::deny, phone));
    EXPECT_EQ(b3->decision(), (Vorlix::Decision{Behavior::deny, std::string("Vorlix Agents: denied from your phone")}));
    EXPECT_EQ(look(store.sessionWithId("A")), std::pair(SpriteKind::error, QString("Blocked Bash")));

    // The server's close after a time-out: no sound, no record, back to thinking.
    store.closeGate(QStringLiteral("B1"));
    EXPECT_EQ(look(store.sessionWithId("B")), std::pair(SpriteKind::thinking, QString("Working")));
    EXPECT_TRUE(store.gates().isEmpty());
    EXPECT_EQ(closed, (std::vector<Behavior>{Behavior::allow, Behavior::deny}));
    ASSERT_EQ(policy.kinds, QStringList({"approved", "denied"}));
    EXPECT_EQ(policy.audited[1].risk, 3);
    EXPECT_EQ(policy.audited[1].project, "app");

    // A phone approval runs the tool.
    auto phoned = std::make_shared<GateBox>();
    store.openGate(gating("G", "S", "Write", "/w/a.txt"), phoned);
    EXPECT_TRUE(store.decide("G", Behavior::allow, phone));
    EXPECT_EQ(phoned->decision(),
              (Vorlix::Decision{Behavior::allow, std::string("Vorlix Agents: approved from your phone")}));
    EXPECT_EQ(look(store.sessionWithId("S")), std::pair(SpriteKind::writing, QString("Running Write")));
}

// "Allow for this session": the call's key, in its own session, while that session lives; never a compound or
// critical call, which are always asked.
TEST_F(StoreFixture, SessionRulesAnswerTheirOwnSessionUntilItEnds) {
    enum class Step { call, allowForSession, forget, end, prune };
    using enum Step;
    // yes: a call answered without a gate; an offer taken.
    const std::tuple<const char*, Step, const char*, const char*, bool> steps[] = {
        {"no rule for a critical call", allowForSession, "A", "npm run rm -rf dist", false},
        {"given", allowForSession, "A", "npm test", true},
        {"the same key in the same session", call, "A", "npm test --coverage", true},
        {"the same call in another live session", call, "B", "npm test", false},
        {"a compound call with the key", call, "A", "npm test; curl x", false},
        {"a critical call with the key", call, "A", "npm test rm -rf /", false},
        {"another key", call, "A", "npm install", false},
        {"forgotten", forget, "A", "Bash: npm test", false},
        {"asked once forgotten", call, "A", "npm test", false},
        {"given again", allowForSession, "A", "npm test", true},
        {"its session ends", end, "A", "", false},
        {"a new session under the same id is asked", call, "A", "npm test", false},
        {"given in B", allowForSession, "B", "npm test", true},
        {"B finishes and is dropped", prune, "B", "", false},
        {"asked once the store dropped B", call, "B", "npm test", false},
    };
    for (const auto& [what, step, session, command, yes] : steps) {
        SCOPED_TRACE(what);
        auto box = std::make_shared<GateBox>();
        switch (step) {
        case call:
            store.openGate(gating(what, session, "Bash", command), box);
            EXPECT_EQ(store.gateWithId(what) == nullptr, yes);
            if (!yes)
                break;
            EXPECT_EQ(box->decision(),
                      (Vorlix::Decision{Behavior::allow, std::string("Vorlix Agents: allowed for this session")}));
            // Older readers of the journal see an ordinary automatic approval; ours see why.
            EXPECT_EQ(policy.kinds.last().toStdString(), "auto-allowed");
            EXPECT_EQ(AuditEntry::fromJson(policy.audited.back().toJson()->toStdString()).value_or(AuditEntry{}).reason,
                      QLatin1String("session rule"));
            break;
        case allowForSession:
            store.openGate(gating(what, session, "Bash", command), box);
            EXPECT_EQ(store.allowForSession(what, SessionStore::Surface::card), yes);
            EXPECT_EQ(box->decision(), yes ? std::optional(Vorlix::Decision{Behavior::allow}) : std::nullopt);
            break;
        case forget:
            store.sessionRules().forget(session, command);
            break;
        case end:
            store.apply(event(Canonical::sessionEnd, std::string(session)));
            break;
        case prune:
            store.apply(event(Canonical::stop, std::string(session)));
            clock.advance(SessionStore::doneLingerSeconds + 1);
            store.refreshContext();
            break;
        }
        store.closeGate(QString::fromUtf8(what));
    }
    EXPECT_TRUE(store.sessionRules().rules().isEmpty());
}

// The agent answered in its own terminal: its gate closes unanswered as soon as the session shows it moved on, and
// stays open for whatever other calls of the session do meanwhile.
TEST_F(StoreFixture, AGateClosesUnansweredOnceItsSessionMovesOn) {
    const auto post = [](const char* session, const char* tool, const char* command, const char* raw = "PostToolUse") {
        auto e = gating("P", session, tool, command);
        e.gating = false;
        e.event = Vorlix::canonicalize(raw);
        e.rawEvent = raw;
        return e;
    };
    const auto plain = [](Canonical kind, const char* session) { return event(kind, std::string(session)); };
    const std::tuple<const char*, Vorlix::Event, bool> cases[] = {
        {"its own post-tool-use", post("s", "Bash", "make"), true},
        {"its own failure", post("s", "Bash", "make", "PostToolUseFailure"), true},
        {"the session's end", plain(Canonical::sessionEnd, "s"), true},
        {"another call's post-tool-use", post("s", "Bash", "make test"), false},
        {"another tool with the same input", post("s", "Task", "make"), false},
        {"the same call in another session", post("t", "Bash", "make"), false},
        {"its own pre-tool-use", post("s", "Bash", "make", "PreToolUse"), false},
        {"another call's permission request", post("s", "Bash", "ls", "PermissionRequest"), false},
        {"another session's stop", plain(Canonical::stop, "t"), false},
    };
    for (const auto& [what, moved, closes] : cases) {
        SCOPED_TRACE(what);
        auto box = std::make_shared<GateBox>();
        store.openGate(gating(what, "s", "Bash", "make"), box);
        policy.kinds.clear();
        closed.clear();
        store.apply(moved);
        EXPECT_EQ(store.gateWithId(what) == nullptr, closes);
        EXPECT_EQ(box->isOpen(), !closes);
        if (!closes) {
            store.closeGate(QString::fromUtf8(what));
            continue;
        }
        EXPECT_FALSE(box->decision());
        EXPECT_FALSE(store.decide(what, Behavior::deny, SessionStore::Surface::phone)) << "a late answer is refused";
        EXPECT_FALSE(policy.kinds.contains("denied") || policy.kinds.contains("approved"));
        EXPECT_TRUE(closed.empty());
    }
}

// From the agents' own payloads; a late idle prompt after a finished turn tells nothing new.
TEST_F(StoreFixture, WaitingFinishedAndDeniedFollowTheRealEvents) {
    using enum Session::Attention;
    const auto real = [](const char* file) {
        const auto source = std::string_view(file).starts_with("codex") ? Source::codex : Source::claude;
        auto e = Vorlix::HookPayload::event(
            *JSONValue::parse(readFixture(file)), source, [](const char*) { return std::optional<std::string>(); },
            file, {}, 0);
        e.sessionID = "s1";
        return e;
    };
    const QString claudeDone = "Done. [tool_result is_error=False: (Bash completed with no output)]";
    const QString codexDone = QString::fromStdString(
        nlohmann::json::parse(readFixture("codex/Stop.json"))["last_assistant_message"].get<std::string>());
    const std::tuple<const char*, Session::Attention, QString> steps[] = {
        {"claude/UserPromptSubmit.json", none, ""},
        {"claude/Notification.json", waitingForYou, "Claude needs your permission"},
        {"claude/PostToolUse.json", none, ""},
        {"claude/Notification-idle_prompt.json", waitingForInput, "Claude is waiting for your input"},
        {"claude/PreToolUse.json", none, ""},
        {"claude/Stop.json", finished, claudeDone},
        {"claude/Notification-idle_prompt.json", finished, claudeDone},
        {"claude/UserPromptSubmit.json", none, ""},
        {"codex/Stop.json", finished, codexDone},
        {"claude/PermissionRequest.json", none, ""},
    };
    for (const auto& [file, attention, message] : steps) {
        SCOPED_TRACE(file);
        store.apply(real(file));
        ASSERT_NE(only(), nullptr);
        EXPECT_EQ(std::pair(only()->attention(), only()->agentMessage()), std::pair(attention, message));
    }
    EXPECT_EQ(only()->activity(), "Done") << "the late idle prompt changed nothing";

    // With our card open, the agent's own prompt mirrors it: the card is what waits.
    auto request = real("claude/PermissionRequest.json");
    request.gating = true;
    store.openGate(request, std::make_shared<GateBox>());
    store.apply(real("claude/Notification.json"));
    EXPECT_EQ(look(only()), std::pair(SpriteKind::needsApproval, QString("Waiting on you")));
    EXPECT_EQ(only()->attention(), none);
    // A Deny leaves nothing waiting; the session's next event, whatever it is, ends the "denied".
    store.decide(store.gates().first()->id(), Behavior::deny, SessionStore::Surface::card);
    EXPECT_EQ(only()->attention(), denied);
    store.apply(real("claude/SessionStart.json"));
    EXPECT_EQ(only()->attention(), none);
    policy.rule = Behavior::deny;
    store.openGate(request, std::make_shared<GateBox>());
    EXPECT_EQ(only()->attention(), denied);
}

// Questions and plans are the person's own say: no rule, level or session rule answers them. (Their answers: the
// phone's table and the bridge's end-to-end test.)
TEST_F(StoreFixture, NoRuleOrLevelAnswersAQuestionOrAPlan) {
    policy.rule = Behavior::allow;
    policy.approveUpTo = 3;
    for (const char* tool : {"AskUserQuestion", "ExitPlanMode"}) {
        store.openGate(gating(tool, "s", tool, "x"), std::make_shared<GateBox>());
        EXPECT_FALSE(store.allowForSession(QString::fromUtf8(tool), SessionStore::Surface::phone)) << tool;
    }
    EXPECT_EQ(store.gates().size(), 2);
    EXPECT_TRUE(policy.kinds.isEmpty());
    EXPECT_TRUE(store.sessionRules().rules().isEmpty());
}
