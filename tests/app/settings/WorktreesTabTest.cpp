#include "settings/WorktreesTab.h"
#include "EventLoop.h"
#include "GitRepo.h"
#include "StoreEvents.h"
#include "TempHome.h"
#include "WidgetProbe.h"
#include "kit/ElidedLabel.h"
#include "sessions/SessionStore.h"
#include "worktrees/WorktreeScanner.h"

#include <QDir>
#include <gtest/gtest.h>

using namespace WidgetProbe;

namespace {
void work(SessionStore& store, const std::string& session, const QString& cwd) {
    store.apply(panelEvent(session, Vorlix::Canonical::preToolUse, "Bash", "{}", cwd.toStdString()));
}

QStringList paths(const QWidget* root) {
    QStringList out;
    for (const ElidedLabel* label : root->findChildren<ElidedLabel*>())
        out.append(label->fullText());
    return out;
}
} // namespace

TEST(WorktreesTabTest, ScansOffTheMainThreadAndRescanFindsNewWorktrees) {
    TempHome temp;
    const QString home = QString::fromStdString(temp.path());
    const QString repo = home + "/src/shop";
    ASSERT_TRUE(gitRepo(repo));
    ASSERT_TRUE(git(repo, {"worktree", "add", "-q", "-b", "pay", home + "/src/shop-pay"}));

    ASSERT_TRUE(QDir().mkpath(home + "/src/shop-pay/lib"));
    SessionStore store;
    work(store, "codex-1", home + "/src/shop-pay/lib");
    WorktreeScanner scanner;
    WorktreesTab tab(store, scanner);
    EXPECT_NE(withText<QLabel>(&tab, "Scanning\u2026"), nullptr);
    EXPECT_FALSE(withText<FlatButton>(&tab, "Rescan")->isEnabled());

    ASSERT_TRUE(waitUntil([&] { return !scanner.running(); }));
    settle();
    EXPECT_EQ(withText<QLabel>(&tab, "Scanning\u2026"), nullptr);
    EXPECT_EQ(paths(&tab), QStringList({"~/src/shop-pay", "~/src/shop"}));
    EXPECT_NE(withText<QLabel>(&tab, "ACTIVE \u00B7 Codex"), nullptr);
    EXPECT_NE(withText<QLabel>(&tab, "pay"), nullptr);

    ASSERT_TRUE(git(repo, {"worktree", "add", "-q", "--detach", home + "/src/shop-try"}));
    work(store, "claude-2", home + "/src/shop-try");
    withText<FlatButton>(&tab, "Rescan")->click();
    ASSERT_TRUE(waitUntil([&] { return !scanner.running(); }));
    settle();
    EXPECT_EQ(paths(&tab), QStringList({"~/src/shop-try", "~/src/shop-pay", "~/src/shop"}));
    EXPECT_NE(withText<QLabel>(&tab, "ACTIVE \u00B7 Claude Code"), nullptr);
}
