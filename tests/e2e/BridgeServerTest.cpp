#include "AppCore.h"
#include "BridgeProcess.h"
#include "EventLoop.h"
#include "LogCapture.h"
#include "Paths.h"
#include "TempHome.h"
#include "TestFiles.h"
#include "UnixSocket.h"
#include "audit/AuditEntry.h"
#include "hookserver/Server.h"
#include "sessions/SessionStore.h"

#include <QCoreApplication>
#include <csignal>
#include <fstream>
#include <gtest/gtest.h>
#include <memory>
#include <nlohmann/json.hpp>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

using Vorlix::Behavior;

namespace {
const std::string permission = readFixture("claude/PermissionRequest.json");

// The real bridge against a real Server whose events land on this test's Qt event loop.
struct BridgeServer : ::testing::Test {
    TempHome home;
    SessionStore store;
    std::unique_ptr<Server> server;

    void startServer() {
        server = std::make_unique<Server>(&store, 60);
        server->start();
    }
    ~BridgeServer() override {
        if (server)
            server->shutdown();
    }
    // Collects a started bridge while the event loop keeps serving the store.
    static BridgeProcess::Result finish(Running& running) {
        std::optional<BridgeProcess::Result> result;
        std::thread collector([&] { result = running.finish(30000); });
        waitUntil([&] { return result.has_value(); }, 40000);
        collector.join();
        return *result;
    }
};
// The application core with its phone page on, as VORLIX_REMOTE=1 starts it.
std::unique_ptr<AppCore> startWithPhone() {
    qputenv("VORLIX_REMOTE", "1");
    AppCore::Options options;
    options.phonePort = TestFiles::freePort();
    auto core = std::make_unique<AppCore>(options);
    core->start(false, 0, 32, 0);
    qunsetenv("VORLIX_REMOTE");
    return core;
}

} // namespace

TEST_F(BridgeServer, KilledBridgesLeaveNoGhostGates) {
    struct Journal final : GatePolicy {
        std::vector<AuditEntry> entries;
        void record(const AuditEntry& entry) override { entries.push_back(entry); }
    } journal;
    store.setPolicy(&journal);
    int cues = 0;
    QObject::connect(&store, &SessionStore::gateDecided, [&] { ++cues; });
    startServer();
    for (int i = 0; i < 4; ++i) {
        Running running;
        BridgeProcess::start({VORLIX_BRIDGE_PATH, "--source", "claude"}, permission, {}, running);
        ASSERT_TRUE(waitUntil([&] { return store.gates().size() == 1 && server->activeConnections() == 1; }));
        running.kill();
        running.finish();
        if (i % 2 == 0) {
            EXPECT_TRUE(waitUntil([&] { return store.gates().isEmpty(); }, 5000)) << i;
            continue;
        }
        // Not serving the event loop: the server's own close waits in the queue behind the person's answer.
        for (int waited = 0; server->activeConnections() > 0 && waited < 5000; ++waited)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        ASSERT_EQ(store.gates().size(), 1);
        const QString id = store.gates().first()->id();
        if (i == 1)
            store.decide(id, Behavior::allow, SessionStore::Surface::card);
        else
            store.decide(id, Behavior::deny, SessionStore::Surface::phone);
        EXPECT_TRUE(store.gates().isEmpty());
    }
    QCoreApplication::processEvents();
    EXPECT_TRUE(journal.entries.empty());
    EXPECT_EQ(cues, 0);
    EXPECT_EQ(store.sessions().first()->activity(), "Working");
}

// The person answered in the agent's own dialog: the card goes, with no word sent, once the agent shows it moved on.
// Until then the session's other calls leave it open, and a phone's answer after it is refused.
TEST(StaleGates, CloseWhenTheirSessionMovesOnAndRefuseLateAnswers) {
    TempHome home;
    const std::unique_ptr<AppCore> started = startWithPhone();
    AppCore& core = *started;
    ASSERT_TRUE(core.remote().enabled());
    const auto payload = [](const char* file, const char* command) {
        auto json = nlohmann::json::parse(readFixture(file));
        if (json.contains("tool_input"))
            json["tool_input"]["command"] = command;
        return json.dump();
    };
    const auto send = [&](const char* file, const char* command = "rm -rf build") {
        Running running;
        BridgeProcess::start({VORLIX_BRIDGE_PATH, "--source", "claude"}, payload(file, command), {}, running);
        return BridgeServer::finish(running);
    };
    for (const char* closer : {"claude/PostToolUse.json", "claude/Stop.json", "claude/UserPromptSubmit.json"}) {
        SCOPED_TRACE(closer);
        Running held;
        BridgeProcess::start({VORLIX_BRIDGE_PATH, "--source", "claude"},
                             payload("claude/PermissionRequest.json", "rm -rf build"), {}, held);
        ASSERT_TRUE(waitUntil([&] { return core.store().gates().size() == 1; }));
        const QString id = core.store().gates().first()->id();
        send("claude/PreToolUse.json", "ls");
        send("claude/PostToolUse.json", "ls");
        QCoreApplication::processEvents();
        ASSERT_EQ(core.store().gates().size(), 1) << "another call's events leave it open";

        send(closer);
        ASSERT_TRUE(waitUntil([&] { return core.store().gates().isEmpty(); }));
        const auto released = BridgeServer::finish(held);
        EXPECT_EQ(released.exitStatus, 0);
        EXPECT_EQ(released.out + released.err, "") << "the agent has its answer: nothing to tell it";

        const QByteArray late =
            "POST /decide?t=" + core.remote().token().toUtf8() + "&id=" + id.toUtf8() + "&a=deny HTTP/1.1\r\n\r\n";
        core.remote().respond(late);
    }
    ASSERT_EQ(core.auditLog().today().size(), 4) << "the tool runs: three of ls, one of the answered call";
    for (const AuditEntry& entry : core.auditLog().today())
        EXPECT_EQ(entry.kind, "tool") << "nothing approved or denied";
    EXPECT_EQ(core.game().bossesBeaten(), 0);
    core.shutdown();
}

// Answered from the phone (the card's own store call), the bridge prints what the real agent accepts; left to the
// terminal, nothing, so the agent shows its own dialog.
TEST(QuestionGates, AnsweredOnceOrLeftToTheTerminal) {
    TempHome home;
    const std::unique_ptr<AppCore> started = startWithPhone();
    AppCore& core = *started;
    for (const char* action : {"answer&answer=0:1", "terminal"}) {
        SCOPED_TRACE(action);
        Running asked;
        BridgeProcess::start({VORLIX_BRIDGE_PATH, "--source", "claude"},
                             readFixture("claude/tools/PermissionRequest-AskUserQuestion.json"), {}, asked);
        ASSERT_TRUE(waitUntil([&] { return core.store().gates().size() == 1; }));
        const QByteArray reply = core.remote().respond("POST /decide?t=" + core.remote().token().toUtf8() +
                                                       "&id=" + core.store().gates().first()->id().toUtf8() +
                                                       "&a=" + action + " HTTP/1.1\r\n\r\n");
        EXPECT_TRUE(reply.startsWith("HTTP/1.1 200")) << reply.toStdString();
        const auto result = BridgeServer::finish(asked);
        EXPECT_EQ(result.exitStatus, 0);
        EXPECT_EQ(result.err, "");
        if (std::string_view(action) == "terminal") {
            EXPECT_EQ(result.out, "");
        } else {
            EXPECT_EQ(nlohmann::json::parse(result.out),
                      nlohmann::json::parse(readFixture("claude/tools/answer-AskUserQuestion.json")));
        }
    }
    const auto journal = core.auditLog().today();
    ASSERT_EQ(journal.size(), 1) << "one record, of the answer";
    EXPECT_EQ(journal.first().kind, "approved");
    EXPECT_EQ(journal.first().detail, "Which database should the service use? \u2192 SQLite");
    core.shutdown();
}

// An agent that dies leaves its bridge orphaned: the bridge notices, exits silently, and its gate goes with it.
TEST_F(BridgeServer, AnOrphanedBridgeExitsAndItsGateGoes) {
    startServer();
    // Orphans come to this process, so the bridge can be waited for even though the shell that started it died.
    ASSERT_EQ(prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
    const std::string payloadFile = home.path() + "/permission.json";
    std::ofstream(payloadFile) << permission;
    Running agent;
    BridgeProcess::start(
        {"/bin/sh", "-c", R"("$0" --source claude < "$1" & echo $!; wait)", VORLIX_BRIDGE_PATH, payloadFile}, "", {},
        agent);
    std::string pidLine;
    char c;
    while (::read(agent.outFD, &c, 1) == 1 && c != '\n')
        pidLine += c;
    const pid_t bridgePid = std::stoi(pidLine);
    ASSERT_TRUE(waitUntil([&] { return store.gates().size() == 1; }));

    ::kill(agent.pid, SIGKILL);
    ::waitpid(agent.pid, nullptr, 0);
    int status = 0;
    ASSERT_TRUE(waitUntil([&] { return ::waitpid(bridgePid, &status, WNOHANG) == bridgePid; }, 10000));
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_TRUE(waitUntil([&] { return store.gates().isEmpty(); }));
    const auto output = agent.finish();
    EXPECT_EQ(output.out + output.err, "");
}

TEST_F(BridgeServer, MalformedLinesSilentPeersAndEndlessLinesLeaveTheStoreUntouched) {
    LogCapture log;
    startServer();
    // Not JSON, not an event, not UTF-8 (which fields an event needs: the protocol's own test).
    for (const char* line : {"{", "[]", R"({"id":"x"})", "\xff\xfe"}) {
        int fd = UnixSocket::connect(Vorlix::socketPath());
        UnixSocket::writeLine(fd, line);
        char byte;
        EXPECT_EQ(read(fd, &byte, 1), 0) << line;
        close(fd);
    }
    int silent = UnixSocket::connect(Vorlix::socketPath());
    close(silent);
    // A line that never ends is dropped at the cap: the connection closes while its peer is still writing.
    const int endless = UnixSocket::connect(Vorlix::socketPath());
    const std::string chunk(std::size_t(1) << 20, 'x');
    const std::size_t limit = UnixSocket::maxRequestBytes + (std::size_t(16) << 20);
    std::size_t sent = 0;
    while (sent < limit) {
        const ssize_t n = ::send(endless, chunk.data(), chunk.size(), MSG_NOSIGNAL);
        if (n < 0)
            break;
        sent += std::size_t(n);
    }
    close(endless);
    EXPECT_GE(sent, UnixSocket::maxRequestBytes);
    EXPECT_LT(sent, limit);
    ASSERT_TRUE(waitUntil([&] { return server->activeConnections() == 0; }));
    QCoreApplication::processEvents();
    EXPECT_TRUE(store.sessions().isEmpty());
    EXPECT_TRUE(store.gates().isEmpty());
    EXPECT_TRUE(log.lines.contains("Vorlix Agents: dropped a request line longer than 67108864 bytes"))
        << log.lines.join('\n').toStdString();
}
