#include "hookserver/GateBox.h"

#include <atomic>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

using Vorlix::Behavior;
using Vorlix::Decision;

TEST(GateBox, ADecisionStoredBeforeTheWaitIsKept) {
    GateBox box;
    box.resolve({Behavior::allow, std::string("first")});
    box.resolve({Behavior::deny, std::string("second")});
    EXPECT_EQ(box.wait(std::chrono::seconds(5)), (Decision{Behavior::allow, std::string("first")}));
}

TEST(GateBox, TimingOutGivesTheDefaultDeny) {
    GateBox box;
    EXPECT_EQ(box.wait(std::chrono::milliseconds(20)),
              (Decision{Behavior::deny, std::string("Vorlix Agents: no response, denied by default")}));
    // A decision after the time-out is stored but nobody waits any more.
    box.resolve({Behavior::allow});
    EXPECT_EQ(box.decision(), Decision{Behavior::allow});
}

TEST(GateBox, AnEnormousTimeoutStillWaitsForTheDecision) {
    GateBox box;
    std::thread late([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        box.resolve({Behavior::deny});
    });
    EXPECT_EQ(box.wait(std::chrono::duration<double>(1e300)), Decision{Behavior::deny});
    late.join();
}

TEST(GateBox, FirstDecisionWinsUnderRaces) {
    for (int round = 0; round < 200; ++round) {
        GateBox box;
        std::atomic<bool> go{false};
        std::vector<std::thread> deciders;
        for (int i = 0; i < 4; ++i) {
            deciders.emplace_back([&, i] {
                while (!go.load()) {
                }
                box.resolve({i % 2 == 0 ? Behavior::allow : Behavior::deny, std::to_string(i)});
            });
        }
        Decision got;
        std::thread waiter([&] { got = box.wait(std::chrono::seconds(10)); });
        go = true;
        for (auto& t : deciders)
            t.join();
        waiter.join();
        // Whatever won is what the waiter saw and what stays stored.
        ASSERT_TRUE(got.message);
        EXPECT_EQ(box.decision(), got);
        EXPECT_EQ(got.behavior, std::stoi(*got.message) % 2 == 0 ? Behavior::allow : Behavior::deny);
    }
}
