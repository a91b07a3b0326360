#include "notify/SessionNotifier.h"
#include "EventLoop.h"
#include "NotificationServer.h"
#include "TempHome.h"
#include "TmuxServer.h"
#include "notify/NotificationCenter.h"
#include "prefs/Prefs.h"
#include "sessions/SessionStore.h"
#include "terminal/GoToTerminal.h"

#include <gtest/gtest.h>

using Vorlix::Canonical;

namespace {

struct SessionNotifications : ::testing::Test {
    TempHome home;
    NotificationServer server;
    Prefs prefs{QString::fromStdString(home.path()) + "/prefs.json",
                QString::fromStdString(home.path()) + "/autostart"};
    SessionStore store;
    std::unique_ptr<NotificationCenter> center;
    std::unique_ptr<SessionNotifier> notifier;
    Vorlix::TerminalContext terminal;

    void SetUp() override {
        ASSERT_TRUE(server.ready()) << "dbus-daemon did not start";
        start();
    }
    void start() {
        notifier.reset();
        center = std::make_unique<NotificationCenter>(server.connect(QStringLiteral("client")));
        notifier = std::make_unique<SessionNotifier>(store, *center, prefs, &GoToTerminal::go);
    }
    // An event of session "s1" in the project "shop", as Claude sends it.
    void send(Canonical kind, const std::string& message = {}, const std::string& type = {}) {
        Vorlix::Event e;
        e.id = "E";
        e.event = kind;
        e.rawEvent = std::string(Vorlix::rawValue(kind));
        e.sessionID = "s1";
        e.cwd = "/home/dev/shop";
        if (!message.empty())
            e.message = message;
        if (!type.empty())
            e.notificationType = type;
        e.terminal = terminal;
        store.apply(e);
    }
    // Exactly n posted, and no more a moment later.
    bool postedCount(qsizetype n) {
        waitUntil([&] { return server.posted.size() >= n; }, 5000);
        waitUntil([] { return false; }, 150);
        return server.posted.size() == n;
    }
};

} // namespace

TEST_F(SessionNotifications, WaitingThenFinishedReplaceOneNotificationThatResumingWithdraws) {
    server.capabilities << QStringLiteral("body-markup");
    start();
    send(Canonical::notification, "Claude needs your permission", "permission_prompt");
    ASSERT_TRUE(postedCount(1));
    const auto waiting = server.posted.first();
    EXPECT_EQ(waiting.summary, QStringLiteral("shop \u2014 Claude Code is waiting for you"));
    EXPECT_EQ(waiting.body, QStringLiteral("Claude needs your permission"));
    EXPECT_EQ(waiting.actions, (QStringList{"default", "Open", "open", "Open"}));

    // The turn ends with a long answer: the same notification now says so, its body cut and escaped.
    const QString answer = QStringLiteral("Tests <pass> & ") + QString(300, 'x');
    send(Canonical::stop, answer.toStdString());
    ASSERT_TRUE(postedCount(2));
    const auto finished = server.posted.last();
    EXPECT_EQ(std::pair(finished.replacesId, finished.id), std::pair(waiting.id, waiting.id));
    EXPECT_EQ(finished.summary, QStringLiteral("shop \u2014 Claude Code finished"));
    EXPECT_EQ(finished.body, answer.left(SessionNotifier::bodyLimit).toHtmlEscaped());
    // A minute later Claude's idle prompt: the person was told already.
    send(Canonical::notification, "Claude is waiting for your input", "idle_prompt");
    EXPECT_TRUE(postedCount(2));

    send(Canonical::userPromptSubmit);
    ASSERT_TRUE(waitUntil([&] { return server.closed == QList<uint>{waiting.id}; }));

    // Switched off, a finished turn tells nobody; waiting still does, as a new notification.
    prefs.setNotifyWhenFinished(false);
    send(Canonical::stop, "Done.");
    send(Canonical::userPromptSubmit);
    send(Canonical::notification, "Claude is waiting for your input", "idle_prompt");
    ASSERT_TRUE(postedCount(3));
    EXPECT_EQ(server.posted.last().replacesId, 0u);
    EXPECT_EQ(server.posted.last().summary, QStringLiteral("shop \u2014 Claude Code is waiting for you"));
}

// The notification's action reaches the real jump: the agent's tmux pane becomes the current one. Nothing shows that
// server here (no client, no display), so the person is told, in one clear notification.
TEST_F(SessionNotifications, OpenSelectsTheAgentsTmuxPaneAndSaysWhenNothingShowsIt) {
    TmuxServer tmux(QString::fromStdString(home.path()) + QStringLiteral("/tmux.sock"));
    const QString pane = tmux.newSession(QStringLiteral("a"));
    const QString later = tmux.add(QStringLiteral("a"));
    ASSERT_EQ(tmux.format(QStringLiteral("a"), QStringLiteral("#{pane_id}")), later);
    terminal.tmuxPane = pane.toStdString();
    terminal.tmuxSocket = tmux.socket().toStdString();
    send(Canonical::stop, "Done.");
    ASSERT_TRUE(postedCount(1));

    server.invoke(server.posted.first().id, QStringLiteral("open"), QStringLiteral("intruder"));
    EXPECT_TRUE(postedCount(1)) << "only the server we posted to is heard";
    server.invoke(server.posted.first().id, QStringLiteral("open"));
    ASSERT_TRUE(postedCount(2));
    EXPECT_EQ(tmux.format(QStringLiteral("a"), QStringLiteral("#{pane_id}")), pane);
    EXPECT_EQ(server.posted.last().summary, QStringLiteral("Can't bring this terminal forward here"));
    EXPECT_EQ(server.posted.last().body, QStringLiteral("shop \u2014 Claude Code"));
}
