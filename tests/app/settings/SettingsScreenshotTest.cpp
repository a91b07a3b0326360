#include "AppCore.h"
#include "EventLoop.h"
#include "GitRepo.h"
#include "StoreEvents.h"
#include "TempHome.h"
#include "TestFiles.h"
#include "WidgetProbe.h"
#include "kit/ElidedLabel.h"
#include "settings/SettingsWindow.h"
#include "settings/TabPage.h"
#include "worktrees/WorktreeScanner.h"

#include <QDir>
#include <gtest/gtest.h>

using namespace WidgetProbe;

namespace {
const QString artifacts = QStringLiteral(VORLIX_BINARY_DIR "/artifacts");

AuditEntry entry(int secondsAgo, const QString& agent, const QString& kind, const QString& tool, const QString& detail,
                 std::optional<int> risk = std::nullopt) {
    return {
        QDateTime::currentDateTimeUtc().addSecs(-secondsAgo), agent, "s-" + agent, "shop", kind, tool, detail, risk};
}
// Sorted: both agents start work within the same millisecond, so the tab's most-recent-first order is a tie.
QStringList paths(const QWidget* root) {
    QStringList out;
    for (const ElidedLabel* label : root->findChildren<ElidedLabel*>())
        out.append(label->fullText());
    out.sort();
    return out;
}
} // namespace

// The settings window on each tab with the data a busy day leaves behind, saved for a person to look at; the
// worktrees tab scans off the main thread and finds each worktree's working agent.
TEST(SettingsScreenshotTest, EveryTabWithABusyDay) {
    TempHome temp;
    const QString home = QString::fromStdString(temp.path());
    // Claude Code wired up, Codex present but not, Grok held by another tool.
    TestFiles::write(home + "/.claude/settings.json",
                     QByteArray(R"({"hooks":{"PreToolUse":[{"matcher":"*","hooks":[{"type":"command","command":"')") +
                         home.toUtf8() + R"(/.vorlix-agents/bin/vorlix-bridge' --source claude"}]}]}})");
    QDir().mkpath(home + "/.codex");
    TestFiles::write(home + "/.grok/hooks/vibe-island.json", "{}");

    const QString repo = home + "/src/shop";
    const QString payments = home + "/src/shop-payments";
    ASSERT_TRUE(gitRepo(repo));
    ASSERT_TRUE(git(repo, {"worktree", "add", "-q", "-b", "payments", payments}));

    AppCore::Options options;
    options.phonePort = TestFiles::freePort();
    AppCore core(options);
    const auto work = [&](const std::string& session, const QString& cwd) {
        core.store().apply(panelEvent(session, Vorlix::Canonical::preToolUse, "Bash", "{}", cwd.toStdString()));
    };
    work("claude", repo + "/web");
    work("codex", payments);

    const std::tuple<const char*, const char*, Vorlix::Behavior> rules[] = {
        {"Bash", "npm test", Vorlix::Behavior::allow},
        {"WebFetch", "https://registry.npmjs.org/left-pad", Vorlix::Behavior::deny},
        {"Bash", "docker compose -f deploy/staging/docker-compose.override.yml up --build", Vorlix::Behavior::allow},
    };
    for (const auto& [tool, detail, behavior] : rules)
        core.rules().add(QString::fromLatin1(tool), QString::fromLatin1(detail), behavior);
    for (int i = 0; i < 3; ++i)
        core.rules().decision(QStringLiteral("Bash"), QStringLiteral("npm test"));

    const AuditEntry day[] = {
        entry(4000, "codex", "tool", "Read", "src/payments/stripe.ts"),
        entry(3500, "claude", "auto-allowed", "Bash", "npm test", 0),
        entry(3000, "claude", "approved", "Edit", "src/cart/Cart.tsx", 1),
        entry(2600, "codex", "denied", "Bash", "rm -rf build dist node_modules", 3),
        entry(2000, "grok", "auto-denied", "WebFetch", "https://registry.npmjs.org/left-pad", 2),
        entry(60, "claude", "tool", "Write", ""),
    };
    for (const AuditEntry& e : day)
        core.onAudit(e);
    // The bridge is not beside the test program: the failure shows under the agents.
    core.installer().install(Vorlix::Source::codex);
    core.game().agentCompleted();
    core.game().bossBeaten();
    core.remote().enable();
    ASSERT_TRUE(core.remote().enabled()) << core.remote().lastErrorText().toStdString();

    SettingsWindow window(core);
    window.open();
    ASSERT_TRUE(QDir().mkpath(artifacts));
    for (SettingsTab tab : allSettingsTabs) {
        window.showTab(tab);
        if (tab == SettingsTab::trees) {
            EXPECT_NE(withText<QLabel>(window.page(), "Scanning\u2026"), nullptr);
            EXPECT_FALSE(withText<FlatButton>(window.page(), "Rescan")->isEnabled());
            ASSERT_TRUE(waitUntil([&] { return !window.scanner().running(); }));
        }
        settle();
        // What the window shows, and the whole tab as it would scroll.
        const QString name = artifacts + "/settings-" + settingsTabTitle(tab).toLower();
        EXPECT_TRUE(window.grab().save(name + ".png")) << name.toStdString();
        EXPECT_TRUE(window.page()->grab().save(name + "-page.png")) << name.toStdString();
    }

    window.showTab(SettingsTab::trees);
    ASSERT_TRUE(waitUntil([&] { return !window.scanner().running(); }));
    settle();
    EXPECT_EQ(withText<QLabel>(window.page(), "Scanning\u2026"), nullptr);
    EXPECT_EQ(paths(window.page()), QStringList({"~/src/shop", "~/src/shop-payments"}));
    EXPECT_NE(withText<QLabel>(window.page(), "ACTIVE \u00B7 Codex"), nullptr);
    EXPECT_EQ(texts(window.page()).filter(QStringLiteral("ACTIVE \u00B7 ")).size(), 2);
    EXPECT_NE(withText<QLabel>(window.page(), "payments"), nullptr);
    core.remote().disable();
}
