#include "installer/Installer.h"
#include "BridgeProcess.h"
#include "Event.h"
#include "LineServer.h"
#include "TempHome.h"
#include "TestFiles.h"
#include "cli/HooksCommand.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTextStream>
#include <gtest/gtest.h>
#include <memory>

using json = nlohmann::json;
using Vorlix::Source;
using Status = Installer::Status;

namespace {

const QString claudeFile = QStringLiteral(".claude/settings.json");
const QString firstBackup = QStringLiteral(".vorlix-agents/backups/2026-12-05T16-48-39Z/");

using TestFiles::mode;
using TestFiles::read;

QByteArray fixture(const char* name) {
    return read(QStringLiteral(VORLIX_FIXTURES_DIR "/") + QLatin1String(name));
}

class InstallerTest : public ::testing::Test {
protected:
    TempHome temp;
    QString home = QString::fromStdString(temp.path());
    // 18:48:39 at UTC+2: backups are named 2026-12-05T16-48-39Z.
    ManualClock clock{QDateTime(QDate(2026, 12, 5), QTime(18, 48, 39), QTimeZone(2 * 3600))};

    std::unique_ptr<Installer> make(const QString& bridge = QStringLiteral(VORLIX_BRIDGE_PATH)) {
        return std::make_unique<Installer>(home, bridge, clock);
    }
    QString at(const QString& relative) const { return home + QLatin1Char('/') + relative; }
    void put(const QString& relative, const QByteArray& data) { TestFiles::write(at(relative), data); }
    QByteArray get(const QString& relative) const { return read(at(relative)); }
    json getJson(const QString& relative) const { return json::parse(get(relative).toStdString()); }

    static Status statusOf(const Installer& installer, Source id) {
        for (const Installer::Agent& agent : installer.agents())
            if (agent.id == id)
                return agent.status;
        return Status::notFound(); // no test expects it: a missing row fails the comparison
    }
};

TEST_F(InstallerTest, InstallAppendsOurGroupsOnceAndUninstallRestoresTheFileAndItsShape) {
    // The fixture holds foreign groups, odd array elements and numbers that must keep their spelling; it is a
    // private file reached through a symlink, and stays one.
    const TestFiles::Umask open(0); // our backups stay private all the same
    const QString target = QStringLiteral("dotfiles/claude.json");
    put(target, fixture("installer/claude-settings.json"));
    QFile::setPermissions(at(target), QFile::ReadOwner | QFile::WriteOwner);
    QDir().mkpath(at(QStringLiteral(".claude")));
    ASSERT_TRUE(QFile::link(QStringLiteral("../") + target, at(claudeFile)));
    const json before = getJson(claudeFile);
    auto installer = make();
    EXPECT_EQ(statusOf(*installer, Source::claude), Status::notInstalled());
    installer->install(Source::claude);
    const QByteArray first = get(claudeFile);
    installer->install(Source::claude);
    EXPECT_EQ(get(claudeFile), first);
    json after = getJson(claudeFile);
    // Each event ends in our group; without it, the file is what it was.
    const json ours = HookConfig::claudeHooks(home.toStdString());
    for (const auto& [event, row] : ours.items()) {
        json& groups = after.at("hooks").at(event);
        EXPECT_EQ(groups.back(), row.at(0)) << event;
        groups.erase(groups.size() - 1);
        if (groups.empty())
            after.at("hooks").erase(event);
    }
    EXPECT_EQ(after.dump(), before.dump());
    EXPECT_EQ(mode(at(QStringLiteral(".vorlix-agents/bin/vorlix-bridge"))), 0755u);
    EXPECT_EQ(mode(at(QStringLiteral(".vorlix-agents/bin"))), 0700u);
    EXPECT_EQ(get(QStringLiteral(".vorlix-agents/bin/vorlix-bridge")), read(QStringLiteral(VORLIX_BRIDGE_PATH)));

    // The second backup in the same second is skipped: the copy still holds the file as it was.
    EXPECT_EQ(QDir(at(QStringLiteral(".vorlix-agents/backups"))).entryList(QDir::Dirs | QDir::NoDotAndDotDot),
              QStringList{"2026-12-05T16-48-39Z"});
    EXPECT_EQ(get(firstBackup + QStringLiteral(".claude_settings.json")), fixture("installer/claude-settings.json"));
    EXPECT_EQ(mode(at(firstBackup + QStringLiteral(".claude_settings.json"))), 0600u);
    EXPECT_EQ(mode(at(firstBackup)), 0700u);
    clock.advance(1);
    installer->uninstall(Source::claude);
    EXPECT_EQ(installer->lastMessage(), QStringLiteral("Removed hooks for claude."));
    EXPECT_EQ(getJson(claudeFile).dump(), before.dump());
    EXPECT_EQ(get(QStringLiteral(".vorlix-agents/backups/2026-12-05T16-48-40Z/.claude_settings.json")), first);
    EXPECT_TRUE(QFileInfo(at(claudeFile)).isSymLink());
    EXPECT_EQ(mode(at(target)), 0600u);

    // Install drops a foreign group that also runs an old copy of ours whole (uninstall alone would keep "say
    // hi"); with only our hooks left the "hooks" member goes. A file that is gone stays gone.
    put(claudeFile, R"({"model":"opus","hooks":{"Stop":[{"hooks":[{"command":"say hi"},
        {"command":"'/old/.vorlix-agents/bin/vorlix-bridge' --source claude"}]}]}})");
    installer->install(Source::claude);
    installer->uninstall(Source::claude);
    EXPECT_EQ(getJson(claudeFile), (json{{"model", "opus"}}));
    QFile::remove(at(claudeFile));
    installer->uninstall(Source::claude);
    EXPECT_FALSE(QFileInfo::exists(at(claudeFile)));
}

// A file we cannot merge into is refused with what is wrong with it, and left as it was.
TEST_F(InstallerTest, FilesThatAreNotOurKindOfJsonAreRefusedAndLeftAlone) {
    const std::pair<QByteArray, const char*> cases[] = {
        {"", " isn't valid JSON"},
        {"{\"hooks\": ", " isn't valid JSON"},
        {"[]", ": the top level is not an object"},
        {"{\"hooks\": []}", ": \"hooks\" is not an object"},
        {"{\"hooks\": null}", ": \"hooks\" is not an object"},
    };
    auto installer = make();
    for (const auto& [content, what] : cases) {
        SCOPED_TRACE(content.toStdString());
        put(claudeFile, content);
        EXPECT_TRUE(installer->install(Source::claude));
        EXPECT_EQ(installer->lastMessage(),
                  QStringLiteral("Failed: .claude/settings.json%1 \u2014 refusing to overwrite it.").arg(what));
        EXPECT_EQ(statusOf(*installer, Source::claude), Status::notInstalled());
        EXPECT_FALSE(installer->uninstall(Source::claude)); // passes such files by quietly
        EXPECT_EQ(get(claudeFile), content);
    }
    // An event that is not an array holds nothing an agent runs: ours take its place.
    put(claudeFile, R"({"hooks": {"PreToolUse": {"matcher": "*"}}, "model": "opus"})");
    EXPECT_FALSE(installer->install(Source::claude));
    EXPECT_EQ(getJson(claudeFile).at("hooks").at("PreToolUse"),
              HookConfig::claudeHooks(home.toStdString())["PreToolUse"]);
}

// Codex runs none of our hooks until the person trusts each one in its /hooks screen, so it is told to.
TEST_F(InstallerTest, CodexIsInstalledOnlyOnceEveryHookOfOursIsTrusted) {
    const QString config = QStringLiteral(".codex/config.toml");
    const QByteArray asCodexWroteIt = fixture("agents/codex/trust/config.toml").replace("/home/dev", home.toUtf8());
    const auto table = [this](const char* event) {
        return QStringLiteral("[hooks.state.\"%1/.codex/hooks.json:%2:0:0\"]\ntrusted_hash = \"sha256:00\"\n")
            .arg(home, QLatin1String(event))
            .toUtf8();
    };
    const QByteArray newRows = table("user_prompt_submit") + table("session_end");
    const std::pair<QByteArray, bool> cases[] = {
        {{}, false},
        {asCodexWroteIt, false}, // trusted before the prompt and session-end rows existed
        {asCodexWroteIt + newRows, true},
        {"model = \"o3\"\n" + asCodexWroteIt + newRows + "[hooks.state.\"other\"]\ntrusted_hash = \"x\"\n", true},
        {QByteArray(asCodexWroteIt + newRows).replace("trusted_hash = \"sha256:8e4c", "# trusted_hash = \""), false},
        {QByteArray(asCodexWroteIt + newRows).replace(":stop:0:0", ":stop:1:0"), false},
    };
    QDir().mkpath(at(QStringLiteral(".codex")));
    auto installer = make();
    EXPECT_FALSE(installer->install(Source::codex));
    EXPECT_EQ(installer->lastMessage(), QStringLiteral("Installed hooks for codex. Open Codex and trust them in /hooks "
                                                       "\u2014 Codex runs no hook until you do."));
    for (const auto& [content, trusted] : cases) {
        SCOPED_TRACE(content.toStdString());
        put(config, content);
        installer->refresh();
        EXPECT_EQ(statusOf(*installer, Source::codex), trusted ? Status::installed() : Status::awaitingTrust());
    }

    // What Codex 0.171 trusted, as it wrote it: every row it knew, plus the prompt and session-end rows, built alike.
    json written = HookConfig::codexHooks("/home/dev");
    EXPECT_EQ(written["UserPromptSubmit"], written["SessionStart"]);
    EXPECT_EQ(written["SessionEnd"], written["SessionStart"]);
    written.erase("UserPromptSubmit");
    written.erase("SessionEnd");
    EXPECT_EQ(written, json::parse(fixture("agents/codex/trust/hooks.json").toStdString()).at("hooks"));
}

TEST_F(InstallerTest, GrokGetsItsOwnFileAndTheCompatBlockOnce) {
    const QString config = QStringLiteral(".grok/config.toml");
    const QString ours = QStringLiteral(".grok/hooks/vorlix.json");
    put(config, "model = \"grok\" # caf\xff"); // no final newline, and bytes that are not UTF-8
    auto installer = make();
    EXPECT_EQ(statusOf(*installer, Source::grok), Status::notInstalled());
    installer->install(Source::grok);
    installer->install(Source::grok);
    EXPECT_EQ(get(config), QByteArray("model = \"grok\" # caf\xff\n\n[compat.claude]\nhooks = false\n"));
    EXPECT_EQ(getJson(ours), (json{{"hooks", HookConfig::grokHooks(home.toStdString())}}));
    EXPECT_TRUE(QFileInfo::exists(at(firstBackup + QStringLiteral(".grok_hooks_vorlix.json"))));

    installer->uninstall(Source::grok);
    EXPECT_FALSE(QFileInfo::exists(at(ours)));
    const QByteArray mentioned = "# [compat.claude] is set elsewhere";
    put(config, mentioned);
    installer->install(Source::grok);
    EXPECT_EQ(get(config), mentioned);
}

TEST_F(InstallerTest, BridgeAndBackupProblemsFailBeforeAnyAgentFileIsTouched) {
    put(claudeFile, fixture("installer/claude-settings.json"));
    auto missing = make(home + QStringLiteral("/nowhere/vorlix-bridge"));
    EXPECT_TRUE(missing->install(Source::claude));
    EXPECT_EQ(missing->lastMessage(), QStringLiteral("Failed: vorlix-bridge is missing next to the application (%1).")
                                          .arg(home + QStringLiteral("/nowhere/vorlix-bridge")));
    EXPECT_FALSE(QFileInfo::exists(at(QStringLiteral(".vorlix-agents"))));

    put(QStringLiteral(".vorlix-agents/backups"), "no backups can go here");
    EXPECT_TRUE(make()->install(Source::claude));
    QDir(at(QStringLiteral(".vorlix-agents"))).removeRecursively();
    QDir().mkpath(at(QStringLiteral(".vorlix-agents/bin/vorlix-bridge/inside"))); // cannot be replaced
    EXPECT_TRUE(make()->install(Source::claude));
    EXPECT_EQ(get(claudeFile), fixture("installer/claude-settings.json"));
}

TEST_F(InstallerTest, QuotedCommandRunsTheBridgeFromAHomeWithAQuoteAndSpaces) {
    home = QString::fromStdString(temp.path()) + QStringLiteral("/it's my home");
    QDir().mkpath(at(QStringLiteral(".claude")));
    make()->install(Source::claude);
    const std::string command =
        getJson(claudeFile).at("hooks").at("PermissionRequest").back().at("hooks").at(0).at("command");
    EXPECT_EQ(command, "'" + temp.path() + "/it'\\''s my home/.vorlix-agents/bin/vorlix-bridge' --source claude");

    QDir().mkpath(at(QStringLiteral(".vorlix-agents/run")));
    // No answer: the bridge fails open.
    LineServer app(at(QStringLiteral(".vorlix-agents/run/vorlix.sock")).toStdString(),
                   [](auto&) { return std::nullopt; });
    const BridgeProcess::Result shell =
        BridgeProcess::run({"/bin/sh", "-c", command}, fixture("installer/claude-PermissionRequest.json").toStdString(),
                           {{"HOME", home.toStdString()}}, 30000);
    EXPECT_EQ(shell.exitStatus, 0) << shell.err;
    EXPECT_EQ(shell.out, "");
    ASSERT_EQ(app.lines().size(), 1u);
    const auto event = Vorlix::Event::fromLine(app.lines().front());
    EXPECT_TRUE(event && event->source == Source::claude && event->rawEvent == "PermissionRequest") << app.lines()[0];
}

// Each named foreign tool loses only its own hooks; a Grok tool's own file goes whole.
TEST_F(InstallerTest, HooksCommandLineListsEvictsAndInstalls) {
    put(claudeFile, fixture("installer/claude-notch-tools.json"));
    put(QStringLiteral(".grok/hooks/vibe-island.json"), "{}");
    put(QStringLiteral(".codex/hooks.json"), R"({"hooks":{"Stop":[{"hooks":[{"command":"vorlix-bridge"}]}]}})");
    auto installer = make();
    QString out, err;
    QTextStream outStream(&out), errStream(&err);
    const auto run = [&](const QStringList& args) {
        out.clear();
        err.clear();
        return HooksCommand::run(args, outStream, errStream, *installer);
    };
    EXPECT_EQ(run({"hooks"}), 0);
    EXPECT_EQ(out,
              QStringLiteral("Vorlix Agents is not running \u2014 hooks let every call through unanswered\n"
                             "claude  Claude Code  another notch app owns the hooks\n"
                             "codex   Codex        installed \u2014 waiting for you to trust it in Codex's /hooks\n"
                             "grok    Grok Build   Vibe Island owns the hooks\n"));
    EXPECT_EQ(run({"evict", "Vibe Island", "claude"}), 0);
    EXPECT_EQ(out, QStringLiteral("Removed Vibe Island's hooks from claude.\n"));
    const json root = getJson(claudeFile);
    EXPECT_FALSE(root.contains("statusLine"));
    EXPECT_FALSE(root.at("hooks").contains("PermissionRequest"));
    EXPECT_EQ(root.at("hooks").at("Stop").front().at("hooks").size(), 3u);
    // "island" catches the island hook; the one known only by "notch" stays, and both then run.
    EXPECT_EQ(run({"evict", "another notch app", "claude"}), 0);
    const json stop = getJson(claudeFile).at("hooks").at("Stop").front().at("hooks");
    ASSERT_EQ(stop.size(), 2u);
    EXPECT_EQ(stop[0].at("command"), "/opt/notchy/notch-hook stop");
    EXPECT_EQ(statusOf(*installer, Source::claude), Status::conflict(QStringLiteral("another notch app")));
    EXPECT_EQ(run({"install", "claude"}), 0);
    EXPECT_EQ(out, QStringLiteral("Installed hooks for claude.\n"));
    EXPECT_EQ(statusOf(*installer, Source::claude), Status::installed());
    EXPECT_EQ(run({"evict", "Vibe Island", "grok"}), 0);
    EXPECT_FALSE(QFileInfo::exists(at(QStringLiteral(".grok/hooks/vibe-island.json"))));
    EXPECT_EQ(statusOf(*installer, Source::grok), Status::notInstalled());
    EXPECT_EQ(run({"install", "kiro"}), 1);
    EXPECT_EQ(err, QStringLiteral("Failed: Kiro adapter isn't wired up yet.\n"));

    for (const QStringList& args : std::vector<QStringList>{
             {}, {"frob"}, {"hooks", "claude"}, {"install", "Claude"}, {"evict", "claude"}, {"evict", "", "claude"}}) {
        EXPECT_EQ(run(args), 2) << args.join(' ').toStdString();
        EXPECT_TRUE(err.startsWith(QStringLiteral("usage: VorlixAgents ")));
        EXPECT_TRUE(out.isEmpty());
    }
    err.clear(); // the plain form finds the home on its own; no bridge sits beside this test program.
    EXPECT_EQ(HooksCommand::run({"install", "codex"}, outStream, errStream), 1);
    EXPECT_TRUE(err.startsWith(QStringLiteral("Failed: vorlix-bridge is missing next to the application")));
}

json groupOf(const std::vector<std::string>& commands) {
    json group = {{"hooks", json::array()}};
    for (const auto& command : commands)
        group["hooks"].push_back({{"type", "command"}, {"command", command}});
    return group;
}

TEST(HookConfigTest, ScanFindsOursAndNamesTheLastForeignTool) {
    const struct {
        std::vector<std::string> commands;
        bool ours;
        std::optional<std::string> foreign;
    } cases[] = {
        {{"/x/vorlix-bridge --source claude"}, true, std::nullopt},
        {{"~/.vibe-island/bridge"}, false, "Vibe Island"},
        {{"notch-hook"}, false, "another notch app"},
        {{"island-thing"}, false, "another notch app"},
        {{"vibe-island", "notch"}, false, "another notch app"},
        {{"VORLIX", "Notch"}, false, std::nullopt}, // case-sensitive
        {{"vibe-island", "vorlix"}, true, "Vibe Island"},
    };
    for (const auto& c : cases) {
        const HookConfig::Scan scan = HookConfig::scan(json{{"Stop", json::array({groupOf(c.commands)})}});
        EXPECT_EQ(scan.ours, c.ours) << c.commands.front();
        EXPECT_EQ(scan.foreign, c.foreign) << c.commands.front();
    }
}

} // namespace
