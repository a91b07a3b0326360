#include "hookserver/GateLog.h"
#include "StoreEvents.h"
#include "hookserver/Gate.h"
#include "support/Log.h"

#include <gtest/gtest.h>

// Headless, the log is where a person learns that an agent waits on them, and that it no longer does.
TEST(GateLogTest, OneLineWhenAGateStartsWaitingAndOneWhenItEnds) {
    SessionStore store;
    GateLog gateLog(store);
    QStringList lines;
    Log::setSink([&lines](const QString& line) { lines << line; });
    openPanelGate(store, "s1", "Bash", R"({"command":"git push --force"})");
    openPanelGate(store, "s1", "Bash", R"({"command":"make   deploy"})");
    ASSERT_EQ(store.gates().size(), 2);
    store.closeGate(store.gates().first()->id());
    Log::setSink({});
    EXPECT_EQ(lines, QStringList({"Vorlix Agents: waiting for a person: Bash git push --force (session s1)",
                                  "Vorlix Agents: waiting for a person: Bash make deploy (session s1)",
                                  "Vorlix Agents: no longer waiting: Bash git push --force (session s1)"}));
}
