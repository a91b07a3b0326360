#include "hookserver/GateBox.h"

#include <atomic>
#include <functional>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

using Vorlix::Behavior;
using Vorlix::Decision;

namespace {
// A connected pair standing in for the server's end and the bridge's end.
struct Peer {
    int fds[2] = {-1, -1};
    Peer() { EXPECT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds), 0); }
    ~Peer() {
        for (int fd : fds)
            if (fd >= 0)
                ::close(fd);
    }
    int server() const { return fds[0]; }
    void hangUp() {
        ::close(fds[1]);
        fds[1] = -1;
    }
};
} // namespace

// Every way a wait ends, with the word arriving before the wait or while it blocks; afterwards the box is closed
// and a late decision reaches nobody.
TEST(GateBox, HowAWaitEnds) {
    const Decision allow{Behavior::allow, std::string("first")};
    const Decision timeout{Behavior::deny, std::string("Vorlix Agents: no response, denied by default")};
    struct Case {
        const char* name;
        std::function<void(GateBox&, Peer&)> word; // nullptr: nobody says anything
        double seconds;
        std::optional<Decision> expected;
    } cases[] = {
        {"decided", [&](GateBox& box, Peer&) { EXPECT_TRUE(box.resolve(allow)); }, 20, allow},
        {"left to the agent", [](GateBox& box, Peer&) { box.leaveToAgent(); }, 20, std::nullopt},
        {"the bridge hangs up", [](GateBox&, Peer& peer) { peer.hangUp(); }, 20, std::nullopt},
        {"bytes from the bridge are no hang-up",
         [&](GateBox& box, Peer& peer) {
             EXPECT_EQ(::write(peer.fds[1], "x\n", 2), 2);
             std::this_thread::sleep_for(std::chrono::milliseconds(100));
             box.resolve(allow);
         },
         20, allow},
        {"nobody answers in time", nullptr, 0.05, timeout},
        {"a time-out far beyond any clock", [&](GateBox& box, Peer&) { box.resolve(allow); }, 1e300, allow},
    };
    for (const auto& c : cases) {
        for (const bool during : {false, true}) {
            SCOPED_TRACE(std::string(c.name) + (during ? " during the wait" : " before the wait"));
            GateBox box;
            Peer peer;
            std::thread other;
            if (c.word && !during)
                c.word(box, peer);
            else if (c.word)
                other = std::thread([&] {
                    std::this_thread::sleep_for(std::chrono::milliseconds(20));
                    c.word(box, peer);
                });
            EXPECT_EQ(box.wait(std::chrono::duration<double>(c.seconds), peer.server()), c.expected);
            if (other.joinable())
                other.join();
            EXPECT_FALSE(box.isOpen());
            EXPECT_FALSE(box.resolve({Behavior::deny, std::string("late")}));
            EXPECT_EQ(box.decision(), c.expected == timeout ? std::nullopt : c.expected);
        }
    }
}

// Deciders race each other and the bridge's hang-up: exactly the decision that was accepted is the one the
// waiter returns, and none when the hang-up came first.
TEST(GateBox, DecisionsRacingAHangUp) {
    for (int round = 0; round < 200; ++round) {
        GateBox box;
        Peer peer;
        std::atomic<bool> go{false};
        std::vector<std::thread> deciders;
        std::atomic<int> accepted{-1};
        for (int i = 0; i < 4; ++i) {
            deciders.emplace_back([&, i] {
                while (!go.load()) {
                }
                if (i == 3) {
                    peer.hangUp();
                } else if (box.resolve({i % 2 == 0 ? Behavior::allow : Behavior::deny, std::to_string(i)})) {
                    EXPECT_EQ(accepted.exchange(i), -1);
                }
            });
        }
        std::optional<Decision> got;
        std::thread waiter([&] { got = box.wait(std::chrono::seconds(10), peer.server()); });
        go = true;
        for (auto& t : deciders)
            t.join();
        waiter.join();
        if (got) {
            ASSERT_TRUE(got->message);
            EXPECT_EQ(std::stoi(*got->message), accepted.load());
            EXPECT_EQ(box.decision(), got);
        } else {
            EXPECT_EQ(box.decision(), std::nullopt);
            EXPECT_EQ(accepted.load(), -1);
        }
    }
}
