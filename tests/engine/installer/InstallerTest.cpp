#include "installer/Installer.h"
#include "Event.h"
#include "TempHome.h"
#include "UnixSocket.h"
#include "cli/HooksCommand.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTextStream>
#include <gtest/gtest.h>
#include <memory>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

using json = nlohmann::json;
using Vorlix::Source;
using Status = Installer::Status;

namespace {

const QString claudeFile = QStringLiteral(".claude/settings.json");
const QString firstBackup = QStringLiteral(".vorlix-agents/backups/2026-12-05T16-48-39Z/");

QByteArray slurp(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
QByteArray fixture(const char* name) {
    return slurp(QStringLiteral(VORLIX_FIXTURES_DIR "/installer/") + QLatin1String(name));
}

mode_t modeOf(const QString& path) {
    struct stat info {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? (info.st_mode & 07777) : 0;
}

// Each event we write: [timeout, matcher or null for none].
const json claudeTable = json::parse(R"({"PermissionRequest":[86400,"*"],"PreToolUse":[86400,"*"],"PostToolUse":[5,"*"],
    "Notification":[5,"*"],"UserPromptSubmit":[5,null],"SessionStart":[5,null],"SessionEnd":[5,null],"Stop":[5,null]})");
const json codexTable = json::parse(R"({"PermissionRequest":[86400,null],"PreToolUse":[86400,""],"PostToolUse":[5,""],
    "SessionStart":[5,null],"Stop":[5,null]})");
const json grokTable = json::parse(R"({"PreToolUse":[86400,""],"PostToolUse":[5,""],"SessionStart":[5,null],
    "SessionEnd":[5,null],"Stop":[5,null]})");

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
    void put(const QString& relative, const QByteArray& data) {
        QDir().mkpath(QFileInfo(at(relative)).absolutePath());
        QFile file(at(relative));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(data);
    }
    QByteArray get(const QString& relative) const { return slurp(at(relative)); }
    json getJson(const QString& relative) const { return json::parse(get(relative).toStdString()); }

    static Status statusOf(const Installer& installer, Source id) {
        for (const Installer::Agent& agent : installer.agents())
            if (agent.id == id)
                return agent.status;
        ADD_FAILURE() << "no row";
        return Status::notFound();
    }
    // Our group comes last in every event of the table, exactly as written, and is our only one there.
    void expectOurHooks(const json& hooks, const json& table, const char* source) const {
        const std::string command =
            "'" + home.toStdString() + "/.vorlix-agents/bin/vorlix-bridge' --source " + std::string(source);
        for (const auto& [event, row] : table.items()) {
            SCOPED_TRACE(event);
            ASSERT_TRUE(hooks.contains(event));
            json expected = {{"hooks", {{{"type", "command"}, {"timeout", row[0]}, {"command", command}}}}};
            if (!row[1].is_null())
                expected["matcher"] = row[1];
            EXPECT_EQ(hooks.at(event).back(), expected);
            int ours = 0;
            for (const json& group : hooks.at(event))
                ours += group.dump().find("vorlix") != std::string::npos ? 1 : 0;
            EXPECT_EQ(ours, 1);
        }
    }
};

TEST_F(InstallerTest, InstallAppendsOurGroupsOnceAndUninstallRestoresTheFileAndItsShape) {
    // The fixture holds foreign groups, odd array elements and numbers that must keep their spelling; it is a
    // private file reached through a symlink, and stays one.
    const QString target = QStringLiteral("dotfiles/claude.json");
    put(target, fixture("claude-settings.json"));
    QFile::setPermissions(at(target), QFile::ReadOwner | QFile::WriteOwner);
    QDir().mkpath(at(QStringLiteral(".claude")));
    ASSERT_TRUE(QFile::link(QStringLiteral("../") + target, at(claudeFile)));
    const json before = getJson(claudeFile);
    auto installer = make();
    EXPECT_EQ(statusOf(*installer, Source::claude), Status::notInstalled());
    installer->install(Source::claude);
    const QByteArray first = get(claudeFile);
    installer->install(Source::claude);
    EXPECT_EQ(installer->lastMessage(), QStringLiteral("Installed hooks for claude."));
    EXPECT_EQ(get(claudeFile), first);
    json after = getJson(claudeFile);
    expectOurHooks(after.at("hooks"), claudeTable, "claude");
    for (const auto& [event, row] : claudeTable.items()) { // without our groups, the file is what it was
        json& groups = after.at("hooks").at(event);
        groups.erase(groups.size() - 1);
        if (groups.empty())
            after.at("hooks").erase(event);
    }
    EXPECT_EQ(after.dump(), before.dump());
    EXPECT_EQ(modeOf(at(QStringLiteral(".vorlix-agents/bin/vorlix-bridge"))), 0755u);
    EXPECT_EQ(get(QStringLiteral(".vorlix-agents/bin/vorlix-bridge")), slurp(QStringLiteral(VORLIX_BRIDGE_PATH)));

    // The second backup in the same second is skipped: the copy still holds the file as it was.
    EXPECT_EQ(QDir(at(QStringLiteral(".vorlix-agents/backups"))).entryList(QDir::Dirs | QDir::NoDotAndDotDot),
              QStringList{"2026-12-05T16-48-39Z"});
    EXPECT_EQ(get(firstBackup + QStringLiteral(".claude_settings.json")), fixture("claude-settings.json"));
    EXPECT_EQ(modeOf(at(firstBackup + QStringLiteral(".claude_settings.json"))), 0600u);
    clock.advance(1);
    installer->uninstall(Source::claude);
    EXPECT_EQ(installer->lastMessage(), QStringLiteral("Removed hooks for claude."));
    EXPECT_EQ(getJson(claudeFile).dump(), before.dump());
    EXPECT_EQ(get(QStringLiteral(".vorlix-agents/backups/2026-12-05T16-48-40Z/.claude_settings.json")), first);
    EXPECT_TRUE(QFileInfo(at(claudeFile)).isSymLink());
    EXPECT_EQ(modeOf(at(target)), 0600u);

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

TEST_F(InstallerTest, FilesThatAreNotOurKindOfJsonAreRefusedAndLeftAlone) {
    const QString refusal =
        QStringLiteral("Failed: .claude/settings.json isn't valid JSON — refusing to overwrite it.");
    auto installer = make();
    for (const QByteArray& content :
         {QByteArray("[]"), QByteArray(""), QByteArray("{\"hooks\": "), QByteArray("{\"hooks\": []}")}) {
        SCOPED_TRACE(content.toStdString());
        put(claudeFile, content);
        installer->install(Source::claude);
        EXPECT_EQ(installer->lastMessage(), refusal);
        EXPECT_EQ(statusOf(*installer, Source::claude), Status::notInstalled());
        installer->uninstall(Source::claude); // passes such files by quietly
        EXPECT_EQ(installer->lastMessage(), QStringLiteral("Removed hooks for claude."));
        EXPECT_EQ(get(claudeFile), content);
    }
    // An event we would write to that is not an array would be lost.
    const QByteArray oddEvent = R"({"hooks": {"PreToolUse": {"matcher": "*"}}})";
    put(claudeFile, oddEvent);
    installer->install(Source::claude);
    EXPECT_EQ(installer->lastMessage(), refusal);
    EXPECT_EQ(get(claudeFile), oddEvent);
}

TEST_F(InstallerTest, CodexHooksAreMergedWithTheirs) {
    const QString codexFile = QStringLiteral(".codex/hooks.json");
    put(codexFile, fixture("codex-hooks.json"));
    auto installer = make();
    installer->install(Source::codex);
    EXPECT_EQ(installer->lastMessage(), QStringLiteral("Installed hooks for codex."));
    const json hooks = getJson(codexFile).at("hooks");
    EXPECT_EQ(hooks.size(), codexTable.size());
    const json theirs = json::parse(fixture("codex-hooks.json").toStdString()).at("hooks");
    for (const char* event : {"PreToolUse", "SessionStart"})
        EXPECT_EQ(hooks.at(event).front(), theirs.at(event).front());
    expectOurHooks(hooks, codexTable, "codex");
    EXPECT_EQ(statusOf(*installer, Source::codex), Status::installed());
}

TEST_F(InstallerTest, GrokGetsItsOwnFileAndTheCompatBlockOnce) {
    const QString config = QStringLiteral(".grok/config.toml");
    const QString ours = QStringLiteral(".grok/hooks/vorlix.json");
    put(config, "model = \"grok\" # caf\xff"); // no final newline, and bytes that are not UTF-8
    auto installer = make();
    EXPECT_EQ(statusOf(*installer, Source::grok), Status::notInstalled());
    installer->install(Source::grok);
    installer->install(Source::grok);
    EXPECT_EQ(installer->lastMessage(), QStringLiteral("Installed hooks for grok."));
    EXPECT_EQ(get(config), QByteArray("model = \"grok\" # caf\xff\n\n[compat.claude]\nhooks = false\n"));
    const json file = getJson(ours);
    EXPECT_EQ(file.size(), 1u);
    EXPECT_EQ(file.at("hooks").size(), grokTable.size());
    expectOurHooks(file.at("hooks"), grokTable, "grok");
    EXPECT_TRUE(QFileInfo::exists(at(firstBackup + QStringLiteral(".grok_hooks_vorlix.json"))));

    installer->uninstall(Source::grok);
    EXPECT_FALSE(QFileInfo::exists(at(ours)));
    const QByteArray mentioned = "# [compat.claude] is set elsewhere";
    put(config, mentioned);
    installer->install(Source::grok);
    EXPECT_EQ(get(config), mentioned);
}

TEST_F(InstallerTest, EvictRemovesOnlyTheNamedToolsHooks) {
    put(claudeFile, fixture("claude-notch-tools.json"));
    auto installer = make();
    EXPECT_EQ(statusOf(*installer, Source::claude).statusText(), QStringLiteral("another notch app owns the hooks"));

    installer->evict(QStringLiteral("Vibe Island"), Source::claude);
    EXPECT_EQ(installer->lastMessage(), QStringLiteral("Removed Vibe Island's hooks from claude."));
    json root = getJson(claudeFile);
    EXPECT_FALSE(root.contains("statusLine"));
    EXPECT_FALSE(root.at("hooks").contains("PermissionRequest"));
    EXPECT_EQ(root.at("hooks").at("Stop").front().at("hooks").size(), 3u);

    // "island" catches the island hook; the one known only by "notch" stays, and both then run.
    installer->evict(QStringLiteral("another notch app"), Source::claude);
    const json stop = getJson(claudeFile).at("hooks").at("Stop").front().at("hooks");
    ASSERT_EQ(stop.size(), 2u);
    EXPECT_EQ(stop[0].at("command"), "/opt/notchy/notch-hook stop");
    EXPECT_EQ(statusOf(*installer, Source::claude), Status::conflict(QStringLiteral("another notch app")));
    installer->install(Source::claude);
    EXPECT_EQ(statusOf(*installer, Source::claude), Status::installed());
}

TEST_F(InstallerTest, BridgeProblemsFailBeforeAnyAgentFileIsTouched) {
    put(claudeFile, fixture("claude-settings.json"));
    auto missing = make(home + QStringLiteral("/nowhere/vorlix-bridge"));
    missing->install(Source::claude);
    EXPECT_EQ(missing->lastMessage(), QStringLiteral("Failed: Bridge binary missing from the app bundle."));
    EXPECT_FALSE(QFileInfo::exists(at(QStringLiteral(".vorlix-agents"))));

    QDir().mkpath(at(QStringLiteral(".vorlix-agents/bin/vorlix-bridge/inside"))); // cannot be replaced
    make()->install(Source::claude);
    EXPECT_EQ(get(claudeFile), fixture("claude-settings.json"));
}

TEST_F(InstallerTest, QuotedCommandRunsTheBridgeFromAHomeWithAQuoteAndSpaces) {
    home = QString::fromStdString(temp.path()) + QStringLiteral("/it's my home");
    QDir().mkpath(at(QStringLiteral(".claude")));
    make()->install(Source::claude);
    const std::string command =
        getJson(claudeFile).at("hooks").at("PermissionRequest").back().at("hooks").at(0).at("command");
    EXPECT_EQ(command, "'" + temp.path() + "/it'\\''s my home/.vorlix-agents/bin/vorlix-bridge' --source claude");

    QDir().mkpath(at(QStringLiteral(".vorlix-agents/run")));
    const int listener = UnixSocket::listen(at(QStringLiteral(".vorlix-agents/run/vorlix.sock")).toStdString(), 4);
    QProcess shell;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), home);
    shell.setProcessEnvironment(env);
    shell.setStandardInputFile(QStringLiteral(VORLIX_FIXTURES_DIR "/installer/claude-PermissionRequest.json"));
    shell.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), QString::fromStdString(command)});

    pollfd ready{listener, POLLIN, 0};
    ASSERT_EQ(::poll(&ready, 1, 30000), 1);
    const int connection = ::accept(listener, nullptr, nullptr);
    ASSERT_GE(connection, 0);
    const auto event = Vorlix::Event::fromLine(UnixSocket::readLine(connection).value_or(""));
    ::close(connection); // no answer: the bridge fails open
    ::close(listener);
    ASSERT_TRUE(event.has_value());
    EXPECT_EQ(event->source, Source::claude);
    EXPECT_EQ(event->rawEvent, "PermissionRequest");
    ASSERT_TRUE(shell.waitForFinished(30000));
    EXPECT_EQ(shell.exitCode(), 0) << shell.readAllStandardError().toStdString();
    EXPECT_TRUE(shell.readAllStandardOutput().isEmpty());
}

TEST_F(InstallerTest, HooksCommandLine) {
    QDir().mkpath(at(QStringLiteral(".claude")));
    put(QStringLiteral(".grok/hooks/vibe-island.json"), "{}");
    auto installer = make();
    QString out, err;
    QTextStream outStream(&out), errStream(&err);
    const auto run = [&](const QStringList& args) {
        out.clear();
        err.clear();
        return HooksCommand::run(args, outStream, errStream, *installer);
    };
    EXPECT_EQ(run({"install", "claude"}), 0);
    EXPECT_EQ(out, QStringLiteral("Installed hooks for claude.\n"));
    EXPECT_EQ(run({"hooks"}), 0);
    EXPECT_EQ(out, QStringLiteral("claude  Claude Code  watching\n"
                                  "codex   Codex        not installed on this machine\n"
                                  "grok    Grok Build   Vibe Island owns the hooks\n"));
    EXPECT_EQ(run({"install", "kiro"}), 1);
    EXPECT_EQ(err, QStringLiteral("Failed: Kiro adapter isn't wired up yet.\n"));
    EXPECT_EQ(run({"evict", "Vibe Island", "grok"}), 0);
    EXPECT_EQ(out, QStringLiteral("Removed Vibe Island's hooks from grok.\n"));
    EXPECT_FALSE(QFileInfo::exists(at(QStringLiteral(".grok/hooks/vibe-island.json"))));
    EXPECT_EQ(statusOf(*installer, Source::grok), Status::notInstalled());

    for (const QStringList& args : std::vector<QStringList>{
             {}, {"frob"}, {"hooks", "claude"}, {"install", "Claude"}, {"evict", "claude"}, {"evict", "", "claude"}}) {
        EXPECT_EQ(run(args), 2) << args.join(' ').toStdString();
        EXPECT_TRUE(err.startsWith(QStringLiteral("usage: VorlixAgents hooks\n")));
        EXPECT_TRUE(out.isEmpty());
    }
    err.clear(); // the plain form finds the home on its own; no bridge sits beside this test program.
    EXPECT_EQ(HooksCommand::run({"install", "codex"}, outStream, errStream), 1);
    EXPECT_EQ(err, QStringLiteral("Failed: Bridge binary missing from the app bundle.\n"));
}

} // namespace
