#include "hookserver/GateLog.h"
#include "LogCapture.h"
#include "StoreEvents.h"
#include "hookserver/Gate.h"

#include <gtest/gtest.h>

// Headless, the log is where a person learns that an agent waits on them, and that it no longer does.
TEST(GateLogTest, OneLineWhenAGateStartsWaitingAndOneWhenItEnds) {
    SessionStore store;
    GateLog gateLog(store);
    LogCapture log;
    openPanelGate(store, "s1", "Bash", R"({"command":"git push --force"})");
    openPanelGate(store, "s1", "Bash", R"({"command":"make   deploy"})");
    ASSERT_EQ(store.gates().size(), 2);
    store.closeGate(store.gates().first()->id());
    EXPECT_EQ(log.lines, QStringList({"Vorlix Agents: waiting for a person: Bash git push --force (session s1)",
                                      "Vorlix Agents: waiting for a person: Bash make deploy (session s1)",
                                      "Vorlix Agents: no longer waiting: Bash git push --force (session s1)"}));
}
