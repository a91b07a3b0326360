#include "notify/SessionNotifier.h"
#include "EventLoop.h"
#include "NotificationServer.h"
#include "StoreEvents.h"
#include "TempHome.h"
#include "TmuxServer.h"
#include "prefs/Prefs.h"
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
} // namespace

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

    // Switched off, a finished turn tells nobody; waiting still does, as a new notification.
    prefs.setNotifyWhenFinished(false);
    send(Canonical::stop, "Done.");
    send(Canonical::userPromptSubmit);
    send(Canonical::notification, "Claude is waiting for your input", "idle_prompt");
    ASSERT_TRUE(posted(3));
    EXPECT_EQ(std::pair(server.posted[2].replacesId, server.posted[2].summary),
              std::pair(0u, QStringLiteral("shop \u2014 Claude Code is waiting for you")));
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
