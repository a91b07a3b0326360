#include "BridgeProcess.h"
#include "EventLoop.h"
#include "Paths.h"
#include "TempHome.h"
#include "UnixSocket.h"
#include "hookserver/Server.h"
#include "sessions/SessionStore.h"

#include <QCoreApplication>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <unistd.h>

using Vorlix::Behavior;

namespace {
const std::string permission = readFixture("claude/PermissionRequest.json");

BridgeProcess::EnvChanges cleanEnv() {
    return {{"GROK_HOOK_EVENT", std::nullopt}, {"GROK_SESSION_ID", std::nullopt}};
}

// The bridge's answer on stdout, as JSON, with the decision's behaviour and message pulled out.
std::pair<std::string, std::string> permissionAnswer(const BridgeProcess::Result& result) {
    auto json = nlohmann::json::parse(result.out);
    const auto& decision = json["hookSpecificOutput"]["decision"];
    return {decision["behavior"].get<std::string>(), decision["message"].get<std::string>()};
}

// The real bridge against a real Server whose events land on this test's Qt event loop.
struct BridgeServer : ::testing::Test {
    TempHome home;
    SessionStore store;
    std::unique_ptr<Server> server;

    void startServer(double gateTimeout = 60) {
        server = std::make_unique<Server>(&store, gateTimeout);
        server->start();
    }
    ~BridgeServer() override {
        if (server)
            server->shutdown();
    }
    // Runs a bridge while the event loop keeps serving the store.
    BridgeProcess::Result bridge(const std::string& source, const std::string& payload) {
        Running running;
        BridgeProcess::start({VORLIX_BRIDGE_PATH, "--source", source}, payload, cleanEnv(), running);
        std::optional<BridgeProcess::Result> result;
        std::thread collector([&] { result = running.finish(30000); });
        waitUntil([&] { return result.has_value(); }, 40000);
        collector.join();
        return *result;
    }
};
} // namespace

TEST_F(BridgeServer, NonGatingEventReachesTheStoreAndTheBridgeGetsNothing) {
    startServer();
    auto result = bridge("claude", readFixture("claude/PostToolUse.json"));
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_EQ(result.out + result.err, "");
    ASSERT_TRUE(waitUntil([&] { return store.sessions().size() == 1; }));
    EXPECT_EQ(store.sessions().first()->toolCount(), 1);
    EXPECT_EQ(store.sessions().first()->activity(), "Ran Bash");
}

TEST_F(BridgeServer, EveryWayAGateIsAnswered) {
    startServer();
    // A learned rule.
    store.autoDecide = [](const QString&, const QString& detail) -> std::optional<Behavior> {
        if (detail == "echo hi > marker.txt")
            return Behavior::deny;
        return std::nullopt;
    };
    auto result = bridge("claude", permission);
    EXPECT_EQ(permissionAnswer(result),
              (std::pair<std::string, std::string>{"deny", "Vorlix Agents: matched your rule"}));
    store.autoDecide = nullptr;

    // The policy.
    store.shouldAutoApprove = [](const RiskVerdict&) { return true; };
    result = bridge("codex", readFixture("codex/PermissionRequest.json"));
    EXPECT_EQ(permissionAnswer(result),
              (std::pair<std::string, std::string>{"allow", "Vorlix Agents: auto-approved (safe)"}));
    store.shouldAutoApprove = nullptr;

    // The card: no message, so the bridge says its own words.
    Running running;
    BridgeProcess::start({VORLIX_BRIDGE_PATH, "--source", "claude"}, permission, cleanEnv(), running);
    ASSERT_TRUE(waitUntil([&] { return store.gates().size() == 1; }));
    EXPECT_EQ(store.gates().first()->detail(), "echo hi > marker.txt");
    store.decideOnCard(store.gates().first(), Behavior::allow);
    std::optional<BridgeProcess::Result> card;
    std::thread collector([&] { card = running.finish(); });
    waitUntil([&] { return card.has_value(); }, 30000);
    collector.join();
    EXPECT_EQ(permissionAnswer(*card), (std::pair<std::string, std::string>{"allow", "Approved in Vorlix Agents"}));
    EXPECT_EQ(store.sessions().first()->state(), SpriteKind::shell);
}

TEST_F(BridgeServer, AnUnansweredGateTimesOutWithTheDefaultDeny) {
    startServer(0.5);
    auto result =
        bridge("kiro", R"({"hook_event_name":"preToolUse","tool_name":"fs_write","tool_input":{"path":"/etc/hosts"}})");
    EXPECT_EQ(result.exitStatus, 2);
    EXPECT_EQ(result.err, "Vorlix Agents: no response, denied by default");
    ASSERT_TRUE(waitUntil([&] { return store.gates().isEmpty(); }));
    EXPECT_EQ(store.sessions().first()->activity(), "Working");
}

TEST_F(BridgeServer, TwoHundredBridgesAnsweredInReverseOrder) {
    startServer();
    constexpr int count = 200;
    std::vector<Running> bridges(count);
    for (int i = 0; i < count; ++i) {
        const std::string payload = R"({"hook_event_name":"PermissionRequest","tool_name":"Bash","session_id":"s)" +
                                    std::to_string(i) + R"(","tool_input":{"command":"make )" + std::to_string(i) +
                                    R"("}})";
        BridgeProcess::start({VORLIX_BRIDGE_PATH, "--source", "claude"}, payload, cleanEnv(), bridges[i]);
    }
    ASSERT_TRUE(waitUntil([&] { return store.gates().size() == count; }, 60000)) << store.gates().size();
    // Each gate's detail names its bridge; answer newest first, allowing the even ones.
    for (int i = count - 1; i >= 0; --i) {
        const QString detail = QString("make %1").arg(i);
        Gate* gate = nullptr;
        for (Gate* g : store.gates())
            if (g->detail() == detail)
                gate = g;
        ASSERT_NE(gate, nullptr) << i;
        store.decideOnCard(gate, i % 2 == 0 ? Behavior::allow : Behavior::deny);
    }
    std::vector<BridgeProcess::Result> results(count);
    std::thread collector([&] {
        for (int i = 0; i < count; ++i)
            results[i] = bridges[i].finish(30000);
    });
    waitUntil([&] { return server->activeConnections() == 0; }, 60000);
    collector.join();
    for (int i = 0; i < count; ++i)
        EXPECT_EQ(permissionAnswer(results[i]).first, i % 2 == 0 ? "allow" : "deny") << i;
}

TEST_F(BridgeServer, ABridgeKilledWhileWaitingGoesUnnoticedUntilAnswered) {
    startServer();
    Running running;
    BridgeProcess::start({VORLIX_BRIDGE_PATH, "--source", "claude"}, permission, cleanEnv(), running);
    ASSERT_TRUE(waitUntil([&] { return store.gates().size() == 1; }));
    running.kill();
    running.finish();
    // Still listed until answered; answering it does not disturb the application.
    EXPECT_EQ(store.gates().size(), 1);
    store.decideOnCard(store.gates().first(), Behavior::deny);
    ASSERT_TRUE(waitUntil([&] { return server->activeConnections() == 0; }));
    auto next = bridge("claude", readFixture("claude/Stop.json"));
    EXPECT_EQ(next.exitStatus, 0);
    ASSERT_TRUE(waitUntil([&] { return store.sessions().first()->state() == SpriteKind::done; }));
}

TEST_F(BridgeServer, MalformedLinesAndSilentPeersLeaveTheStoreUntouched) {
    startServer();
    // Not JSON, not an event, an agent's own event name instead of a canonical one, too deep, not UTF-8.
    const std::string agentName =
        R"({"id":"x","source":"claude","event":"PostToolUse","rawEvent":"x","gating":false,"terminal":{"ppid":1},"ts":1})";
    const std::string deep(5000, '[');
    for (const char* line : {"{", "[]", "{}", R"({"id":"x"})", agentName.c_str(), deep.c_str(), "\xff\xfe"}) {
        int fd = UnixSocket::connect(Vorlix::socketPath());
        UnixSocket::writeLine(fd, line);
        char byte;
        EXPECT_EQ(read(fd, &byte, 1), 0) << line;
        close(fd);
    }
    int silent = UnixSocket::connect(Vorlix::socketPath());
    close(silent);
    ASSERT_TRUE(waitUntil([&] { return server->activeConnections() == 0; }));
    QCoreApplication::processEvents();
    EXPECT_TRUE(store.sessions().isEmpty());
    EXPECT_TRUE(store.gates().isEmpty());
}
