#include "TempHome.h"
#include "UnixSocket.h"
#include "hookserver/Server.h"
#include "sessions/SessionStore.h"

#include <QCoreApplication>
#include <atomic>
#include <chrono>
#include <deque>
#include <filesystem>
#include <gtest/gtest.h>
#include <mutex>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using Vorlix::Behavior;

namespace {
// The main thread's task queue, as a plain mutex queue: ThreadSanitizer cannot see Qt's own locks.
struct MainQueue {
    std::mutex mutex;
    std::deque<std::function<void()>> tasks;

    Server::Post post() {
        return [this](std::function<void()> task) {
            std::lock_guard guard(mutex);
            tasks.push_back(std::move(task));
        };
    }
    // Runs tasks on this (the main) thread until the condition holds.
    bool runUntil(const std::function<bool()>& condition, int timeoutMs = 20000) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (!condition()) {
            if (std::chrono::steady_clock::now() > deadline)
                return false;
            std::function<void()> task;
            {
                std::lock_guard guard(mutex);
                if (!tasks.empty()) {
                    task = std::move(tasks.front());
                    tasks.pop_front();
                }
            }
            if (task)
                task();
            else
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return true;
    }
};

std::string gateLine(const std::string& id, const std::string& session) {
    return R"({"id":")" + id + R"(","source":"claude","event":"permissionRequest","rawEvent":"x","gating":true,)" +
           R"("sessionID":")" + session +
           R"(","toolName":"Bash","toolInput":{"command":"make"},"terminal":{"ppid":1},)" + R"("ts":1.5})";
}

struct ServerFixture : ::testing::Test {
    TempHome home;
    ManualClock clock;
    SessionStore store{clock};
    MainQueue main;
    std::string path = home.path() + "/run/vorlix.sock";
};
} // namespace

TEST_F(ServerFixture, GatesAnsweredInReverseOrderReachTheRightConnections) {
    Server server(&store, 60, main.post(), path);
    server.start();
    constexpr int count = 200;
    std::vector<std::string> replies(count);
    std::vector<std::thread> clients;
    for (int i = 0; i < count; ++i) {
        clients.emplace_back([&, i] {
            int fd = UnixSocket::connect(path);
            UnixSocket::writeLine(fd, gateLine(std::string("G").append(std::to_string(i)),
                                               std::string("s").append(std::to_string(i % 7))));
            replies[i] = UnixSocket::readLine(fd).value_or("(closed)");
            close(fd);
        });
    }
    ASSERT_TRUE(main.runUntil([&] { return store.gates().size() == count; }));
    // Answer the newest first; even numbers allowed, odd denied.
    for (int i = count - 1; i >= 0; --i) {
        Gate* gate = store.gateWithId(QString("G%1").arg(i));
        ASSERT_NE(gate, nullptr);
        store.decide(gate->id(), i % 2 == 0 ? Behavior::allow : Behavior::deny, SessionStore::Surface::card);
    }
    for (auto& t : clients)
        t.join();
    for (int i = 0; i < count; ++i)
        EXPECT_EQ(replies[i], i % 2 == 0 ? R"({"behavior":"allow"})" : R"({"behavior":"deny"})") << i;
    // Each connection's closeGate arrives after its answer and finds nothing left to do.
    ASSERT_TRUE(main.runUntil([&] { return server.activeConnections() == 0; }));
    main.runUntil([] { return false; }, 50);
    EXPECT_TRUE(store.gates().isEmpty());
}

TEST_F(ServerFixture, StartReplacesOnlyAStaleFileAndQuitRemovesOnlyOurOwnFile) {
    ASSERT_TRUE(std::filesystem::create_directories(path));
    Server first(&store, 60, main.post(), path);
    try {
        first.start();
        ADD_FAILURE() << "a folder was taken for a socket";
    } catch (const Server::Refused& refused) {
        EXPECT_EQ(refused.what(), path + " is a folder, not a socket; move it away");
    }
    rmdir(path.c_str());
    close(UnixSocket::listen(path, 1));
    first.start();
    EXPECT_TRUE(first.holdsPath());
    // A live socket is never taken over: its application would run on, deaf.
    Server second(&store, 60, main.post(), path);
    EXPECT_THROW(second.start(), Server::Refused);
    // Once the file is gone a newer one may bind; the first one's quit must leave the newer file alone.
    unlink(path.c_str());
    EXPECT_FALSE(first.holdsPath());
    second.start();
    first.shutdown();
    struct stat info {};
    EXPECT_EQ(stat(path.c_str(), &info), 0);
    int fd = UnixSocket::connect(path);
    close(fd);
    second.shutdown();
    EXPECT_NE(stat(path.c_str(), &info), 0);
    EXPECT_EQ(second.listenFD(), -1);
}
