#include "EventLoop.h"
#include "NotificationServer.h"
#include "StoreEvents.h"
#include "TempHome.h"
#include "TmuxServer.h"
#include "game/Achievement.h"
#include "notify/GateNotifier.h"
#include "notify/NotificationCenter.h"
#include "notify/SessionNotifier.h"
#include "prefs/Prefs.h"
#include "sessions/SessionStore.h"
#include "terminal/GoToTerminal.h"

#include <QDBusConnection>
#include <gtest/gtest.h>

using Vorlix::Behavior;
using Vorlix::Canonical;

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

struct SessionNotifications : ::testing::Test {
    TempHome home;
    NotificationServer server;
    Prefs prefs{QString::fromStdString(home.path()) + "/prefs.json",
                QString::fromStdString(home.path()) + "/autostart"};
    SessionStore store;
    NotificationCenter center{server.connect(QStringLiteral("client"))};
    SessionNotifier notifier{store, center, prefs, &GoToTerminal::go};
    Vorlix::TerminalContext terminal;

    // Claude's event in the project "shop".
    void send(Canonical kind, const std::string& message = {}, const std::string& type = {}) {
        auto e = panelEvent("s1", kind, "", "", "/home/dev/shop");
        e.message = message;
        e.notificationType = type;
        e.terminal = terminal;
        store.apply(e);
    }
    // Exactly n posted, and no more a moment later.
    bool posted(qsizetype n) {
        waitUntil([&] { return server.posted.size() >= n; }, 5000);
        waitUntil([] { return false; }, 150);
        return server.posted.size() == n;
    }
};

TEST_F(SessionNotifications, WaitingThenFinishedReplaceOneNotificationThatResumingWithdraws) {
    ASSERT_TRUE(server.ready());
    send(Canonical::notification, "Claude needs your permission", "permission_prompt");
    ASSERT_TRUE(posted(1));
    const auto waiting = server.posted.first();
    EXPECT_EQ(waiting.summary, QStringLiteral("shop \u2014 Claude Code is waiting for you"));
    EXPECT_EQ(waiting.body, QStringLiteral("Claude needs your permission"));
    EXPECT_EQ(waiting.actions, (QStringList{"default", "Open", "open", "Open"}));

    // The turn ends with a long answer: the same notification now says so, its body cut.
    const QString answer = QStringLiteral("All 42 tests pass. ") + QString(300, 'x');
    send(Canonical::stop, answer.toStdString());
    ASSERT_TRUE(posted(2));
    EXPECT_EQ(std::pair(server.posted[1].replacesId, server.posted[1].id), std::pair(waiting.id, waiting.id));
    EXPECT_EQ(server.posted[1].summary, QStringLiteral("shop \u2014 Claude Code finished"));
    EXPECT_EQ(server.posted[1].body, answer.left(SessionNotifier::bodyLimit));
    send(Canonical::notification, "Claude is waiting for your input", "idle_prompt");
    EXPECT_TRUE(posted(2)) << "a minute after a finished turn the person was told already";

    send(Canonical::userPromptSubmit);
    ASSERT_TRUE(waitUntil([&] { return server.closed == QList<uint>{waiting.id}; }));
}

// Open reaches the real jump: the agent's tmux pane becomes the current one. Nothing shows that server here (no
// client, no display), so the person is told, in one clear notification.
TEST_F(SessionNotifications, OpenSelectsTheAgentsTmuxPaneAndSaysWhenNothingShowsIt) {
    ASSERT_TRUE(server.ready());
    TmuxServer tmux(QString::fromStdString(home.path()) + QStringLiteral("/tmux.sock"));
    const QString pane = tmux.newSession(QStringLiteral("a"));
    tmux.add(pane, true); // neither the pane nor, below, its window is the current one
    ASSERT_NE(tmux.add(QStringLiteral("a")), pane);
    terminal.tmuxPane = pane.toStdString();
    terminal.tmuxSocket = tmux.socket().toStdString();
    send(Canonical::stop, "Done.");
    ASSERT_TRUE(posted(1));

    server.invoke(server.posted[0].id, QStringLiteral("open"));
    ASSERT_TRUE(posted(2));
    EXPECT_EQ(tmux.format(QStringLiteral("a"), QStringLiteral("#{pane_id}")), pane);
    EXPECT_EQ(
        std::pair(server.posted[1].summary, server.posted[1].body),
        std::pair(QStringLiteral("Can't bring this terminal forward here"), QStringLiteral("shop \u2014 Claude Code")));
}

} // namespace
