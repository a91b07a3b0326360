#include "BridgeProcess.h"
#include "Event.h"
#include "LineServer.h"
#include "Paths.h"
#include "TempHome.h"
#include "UnixSocket.h"

#include <condition_variable>
#include <gtest/gtest.h>
#include <mutex>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

using namespace Vorlix;

namespace {
const std::string permissionRequest = readFixture("claude/PermissionRequest.json");
const std::string kiroPreToolUse =
    R"({"hook_event_name":"preToolUse","tool_name":"execute_bash","tool_input":{"command":"ls"}})";
} // namespace

// What reaches stdout, stderr and the exit status; every failure is silent with status 0. (Answer forms: AgentAnswer;
// which replies are decisions: Decision.)
TEST(Bridge, AnswersOrFailsOpenSilently) {
    TempHome home;
    const std::string tooDeep = home.path() + std::string(120, 'd');
    const struct Case {
        const char* name;
        const char* source;
        std::string payload;
        std::optional<std::string> reply; // nullopt: nobody listens; "": closed without a reply
        std::string out;
        std::string err;
        int status;
        bool sent;
    } cases[] = {
        {"claude allow", "claude", permissionRequest, R"({"behavior":"allow"})",
         R"({"hookSpecificOutput":{"decision":{"behavior":"allow","message":"Approved in Vorlix Agents"},)"
         R"("hookEventName":"PermissionRequest"}})",
         "", 0, true},
        {"kiro deny", "kiro", kiroPreToolUse, R"({"behavior":"deny","message":"no"})", "", "no", 2, true},
        {"nobody listens", "kiro", kiroPreToolUse, std::nullopt, "", "", 0, false},
        {"closed without reply", "kiro", kiroPreToolUse, "", "", "", 0, true},
        {"malformed reply", "kiro", kiroPreToolUse, "{not json", "", "", 0, true},
        {"empty stdin", "kiro", "", R"({"behavior":"deny"})", "", "", 0, false},
        {"invalid utf-8 payload", "kiro",
         "{\"hook_event_name\":\"PermissionRequest\",\"tool_name\":\"Bash\",\"cwd\":\"\xff\xfe\"}",
         R"({"behavior":"deny"})", "", "", 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::optional<LineServer> server;
        if (c.reply)
            server.emplace(socketPath(), [reply = *c.reply](const std::string&) {
                return reply.empty() ? std::nullopt : std::optional<std::string>(reply);
            });
        const auto result = BridgeProcess::bridge(c.source, c.payload);
        EXPECT_FALSE(result.timedOut);
        EXPECT_EQ(result.exitStatus, c.status);
        EXPECT_EQ(result.out, c.out);
        EXPECT_EQ(result.err, c.err);
        if (server) {
            EXPECT_EQ(server->lines().size(), c.sent ? 1u : 0u);
        }
    }
    // A home whose socket path does not fit the address.
    const auto result = BridgeProcess::bridge("claude", permissionRequest, {{"HOME", tooDeep}});
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_EQ(result.out + result.err, "");
}

TEST(Bridge, SendsAWellFormedEventWithTerminalFacts) {
    TempHome home;
    LineServer server(socketPath(), [](const std::string&) { return std::nullopt; });
    auto result =
        BridgeProcess::bridge("codex", readFixture("codex/PostToolUse.json"),
                              {{"TMUX_PANE", ""}, {"TERM_PROGRAM", "tmux"}, {"TMUX", "/tmp/tmux-1000/default,4242,3"}});
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_EQ(result.out + result.err, "");
    ASSERT_TRUE(server.waitForLines(1));
    auto event = Event::fromLine(server.lines()[0]);
    ASSERT_TRUE(event);
    EXPECT_EQ(event->event, Canonical::postToolUse);
    EXPECT_FALSE(event->gating);
    TerminalContext terminal;
    terminal.termProgram = "tmux";
    terminal.tmuxPane = "";
    terminal.ppid = getpid();
    terminal.tmuxSocket = "/tmp/tmux-1000/default";
    EXPECT_EQ(event->terminal, terminal);
}

TEST(Bridge, NonGatingEventsExitWithoutWaitingForAReply) {
    TempHome home;
    std::mutex mutex;
    std::condition_variable released;
    bool release = false;
    // The stand-in holds every connection open until the bridge has finished: a bridge that read would hang.
    LineServer server(socketPath(), [&](const std::string&) {
        std::unique_lock lock(mutex);
        released.wait_for(lock, std::chrono::seconds(20), [&] { return release; });
        return std::optional<std::string>(R"({"behavior":"deny"})");
    });
    auto result = BridgeProcess::bridge("claude", readFixture("claude/PreToolUse.json"), {}, 10000);
    {
        std::lock_guard lock(mutex);
        release = true;
    }
    released.notify_all();
    EXPECT_FALSE(result.timedOut);
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_EQ(result.out + result.err, "");
}

// A peer that never ends its reply line: the bridge stops reading at the cap and fails open, its memory bounded.
TEST(Bridge, GivesUpOnAReplyThatNeverEnds) {
    TempHome home;
    const int listener = UnixSocket::listen(socketPath(), 4);
    std::size_t sent = 0;
    std::thread endless([&] {
        const int fd = ::accept(listener, nullptr, nullptr);
        UnixSocket::readLine(fd);
        const std::string chunk(65536, 'x');
        for (ssize_t n = 0; n >= 0; sent += std::size_t(std::max<ssize_t>(n, 0)))
            n = ::send(fd, chunk.data(), chunk.size(), MSG_NOSIGNAL);
        ::close(fd);
    });
    const auto result = BridgeProcess::bridge("claude", permissionRequest, {}, 30000);
    endless.join();
    ::close(listener);
    EXPECT_FALSE(result.timedOut);
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_EQ(result.out + result.err, "");
    // What the socket buffers hold on both sides comes on top of the cap.
    EXPECT_GT(sent, UnixSocket::maxReplyBytes);
    EXPECT_LT(sent, UnixSocket::maxReplyBytes + (std::size_t(4) << 20));
}
