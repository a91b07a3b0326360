#include "notify/GateNotifier.h"
#include "EventLoop.h"
#include "NotificationServer.h"
#include "StoreEvents.h"
#include "game/Achievement.h"
#include "notify/NotificationCenter.h"
#include "sessions/SessionStore.h"

#include <QDBusConnection>
#include <gtest/gtest.h>

using Vorlix::Behavior;

namespace {

struct GateNotifications : ::testing::Test {
    NotificationServer fake;
    SessionStore store;
    std::unique_ptr<NotificationCenter> center;
    std::unique_ptr<GateNotifier> notifier;

    void SetUp() override {
        ASSERT_TRUE(fake.ready()) << "dbus-daemon did not start";
        center = std::make_unique<NotificationCenter>(fake.connect(QStringLiteral("client")));
        notifier = std::make_unique<GateNotifier>(store, *center);
    }
};

// Only the server we posted to answers; a critical call, and one whose body had to be cut, offer only Deny: nobody
// allows from here what they could not read. Whoever answers, the notification goes.
TEST_F(GateNotifications, AnswersFromTheNotificationAndItsWithdrawal) {
    const std::string longCommand =
        R"({"command":"echo )" + std::string(11000, 'x') + R"(; python3 /tmp/x.py --wipe-home"})";
    const QStringList both{"allow", "Allow", "deny", "Deny"}, denyOnly{"deny", "Deny"};
    const std::tuple<std::string, const char*, QStringList> cases[] = {
        {R"({"command":"echo hi > marker.txt"})", "echo hi > marker.txt", both},
        {R"({"command":"rm -rf build"})", "DESTRUCTIVE", denyOnly},
        {longCommand, "open the panel to see all", denyOnly},
    };
    for (const auto& [input, shown, actions] : cases) {
        SCOPED_TRACE(shown);
        const qsizetype before = fake.posted.size();
        const auto box = openPanelGate(store, "s1", "Bash", input);
        ASSERT_TRUE(waitUntil([&] { return fake.posted.size() == before + 1; }));
        const auto notice = fake.posted.last();
        EXPECT_EQ(notice.summary, QStringLiteral("Claude Code wants to run"));
        EXPECT_TRUE(notice.body.contains(QString::fromUtf8(shown))) << notice.body.toStdString();
        EXPECT_FALSE(notice.body.contains(QStringLiteral("wipe-home")));
        EXPECT_EQ(notice.actions, actions);

        fake.invoke(notice.id, QStringLiteral("deny"), QStringLiteral("intruder"));
        fake.invoke(notice.id, QStringLiteral("allow"));
        const bool allows = actions == both;
        if (allows) {
            ASSERT_TRUE(waitUntil([&] { return !box->isOpen(); }));
        } else {
            waitUntil([] { return false; }, 300);
            ASSERT_TRUE(box->isOpen()) << "an Allow the notification never offered";
            store.decide(store.gates().first()->id(), Behavior::deny, SessionStore::Surface::card);
        }
        EXPECT_EQ(box->decision(), Vorlix::Decision{allows ? Behavior::allow : Behavior::deny});
        EXPECT_TRUE(store.gates().isEmpty());
        ASSERT_TRUE(waitUntil([&] { return fake.closed.contains(notice.id); }));
    }
}

TEST_F(GateNotifications, MarkupServersGetEscapedTextAndNoActionsWhenTheyHaveNone) {
    fake.capabilities = {QStringLiteral("body"), QStringLiteral("body-markup")};
    center = std::make_unique<NotificationCenter>(fake.connect(QStringLiteral("client")));
    notifier = std::make_unique<GateNotifier>(store, *center);
    openPanelGate(store, "s1", "Bash", R"({"command":"cat a <b> & c"})");
    ASSERT_TRUE(waitUntil([&] { return fake.posted.size() == 1; }));
    EXPECT_TRUE(fake.posted.first().actions.isEmpty());
    EXPECT_TRUE(fake.posted.first().body.contains(QStringLiteral("cat a &lt;b&gt; &amp; c")));

    notifier->notifyAchievement({QStringLiteral("night-owl"), QStringLiteral("Night Owl"),
                                 QStringLiteral("Approved a call after midnight."), std::nullopt});
    ASSERT_TRUE(waitUntil([&] { return fake.posted.size() == 2; }));
    EXPECT_EQ(fake.posted.last().summary, QStringLiteral("🏆 Night Owl"));
    EXPECT_EQ(fake.posted.last().body, QStringLiteral("Approved a call after midnight."));
}

TEST(NotificationCenter, WithoutABusNothingIsPostedAndNothingWaits) {
    NotificationCenter center(QDBusConnection::connectToBus(QStringLiteral("unix:path=/nonexistent/bus"), "none"));
    EXPECT_FALSE(center.available());
    std::optional<uint> id;
    center.notify({QStringLiteral("🏆 First blood"), QStringLiteral("detail"), {}, -1, {}},
                  [&](uint posted) { id = posted; });
    EXPECT_EQ(id, 0u);
    center.close(7);
}

} // namespace
