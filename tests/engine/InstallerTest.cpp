#include "Installer.h"
#include "Event.h"
#include "HooksCommand.h"
#include "TempHome.h"
#include "UnixSocket.h"

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
const QString refusal = QStringLiteral("Failed: .claude/settings.json isn't valid JSON — refusing to overwrite it.");

QByteArray fixture(const char* name) {
    QFile file(QStringLiteral(VORLIX_FIXTURES_DIR "/installer/") + QLatin1String(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

mode_t modeOf(const QString& path) {
    struct stat info {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? (info.st_mode & 07777) : 0;
}

struct Row {
    const char* event;
    int timeout;
    const char* matcher; // nullptr: no matcher key
};
const std::vector<Row> claudeTable{{"PermissionRequest", 86400, "*"}, {"PreToolUse", 86400, "*"},
                                   {"PostToolUse", 5, "*"},           {"Notification", 5, "*"},
                                   {"UserPromptSubmit", 5, nullptr},  {"SessionStart", 5, nullptr},
                                   {"SessionEnd", 5, nullptr},        {"Stop", 5, nullptr}};
const std::vector<Row> codexTable{{"PermissionRequest", 86400, nullptr},
                                  {"PreToolUse", 86400, ""},
                                  {"PostToolUse", 5, ""},
                                  {"SessionStart", 5, nullptr},
                                  {"Stop", 5, nullptr}};
const std::vector<Row> grokTable{{"PreToolUse", 86400, ""},
                                 {"PostToolUse", 5, ""},
                                 {"SessionStart", 5, nullptr},
                                 {"SessionEnd", 5, nullptr},
                                 {"Stop", 5, nullptr}};

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
    QByteArray get(const QString& relative) const {
        QFile file(at(relative));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    json getJson(const QString& relative) const { return json::parse(get(relative).toStdString()); }

    static Status statusOf(const Installer& installer, Source id) {
        for (const Installer::Agent& agent : installer.agents()) {
            if (agent.id == id)
                return agent.status;
        }
        ADD_FAILURE() << "no row";
        return Status::notFound();
    }
    // Our group comes last in every event of the table, exactly as written.
    void expectOurHooks(const json& hooks, const std::vector<Row>& table, const char* source) const {
        const std::string command =
            "'" + home.toStdString() + "/.vorlix-agents/bin/vorlix-bridge' --source " + std::string(source);
        for (const Row& row : table) {
            SCOPED_TRACE(row.event);
            ASSERT_TRUE(hooks.contains(row.event));
            const json& group = hooks.at(row.event).back();
            EXPECT_EQ(group.at("hooks"),
                      json::array({json{{"type", "command"}, {"timeout", row.timeout}, {"command", command}}}));
            EXPECT_EQ(group.size(), row.matcher == nullptr ? 1u : 2u);
            if (row.matcher != nullptr) {
                EXPECT_EQ(group.value("matcher", "absent"), row.matcher);
            }
            int ours = 0;
            for (const json& g : hooks.at(row.event))
                ours += g.dump().find("vorlix") != std::string::npos ? 1 : 0;
            EXPECT_EQ(ours, 1);
        }
    }
};

TEST_F(InstallerTest, InstallWrapsForeignHooksAndUninstallRestoresThem) {
    put(claudeFile, fixture("claude-settings.json"));
    const json before = getJson(claudeFile);
    auto installer = make();
    EXPECT_EQ(statusOf(*installer, Source::claude), Status::notInstalled());

    installer->install(Source::claude);
    EXPECT_EQ(installer->lastMessage(), QStringLiteral("Installed hooks for claude."));
    EXPECT_EQ(statusOf(*installer, Source::claude).statusText(), QStringLiteral("watching"));
    json after = getJson(claudeFile);
    expectOurHooks(after.at("hooks"), claudeTable, "claude");
    for (const char* event : {"PreToolUse", "PostToolUse"})
        EXPECT_EQ(after.at("hooks").at(event).front(), before.at("hooks").at(event).front());
    EXPECT_EQ(after.at("hooks").at("PreCompact"), before.at("hooks").at("PreCompact"));
    EXPECT_TRUE(after.at("bigCounter").is_number_integer());
    json others = before;
    others.erase("hooks");
    after.erase("hooks");
    EXPECT_EQ(after, others);
    EXPECT_EQ(modeOf(at(QStringLiteral(".vorlix-agents/bin/vorlix-bridge"))), 0755u);
    QFile source(QStringLiteral(VORLIX_BRIDGE_PATH));
    ASSERT_TRUE(source.open(QIODevice::ReadOnly));
    EXPECT_EQ(get(QStringLiteral(".vorlix-agents/bin/vorlix-bridge")), source.readAll());

    installer->uninstall(Source::claude);
    EXPECT_EQ(installer->lastMessage(), QStringLiteral("Removed hooks for claude."));
    EXPECT_EQ(getJson(claudeFile), before);
    EXPECT_EQ(statusOf(*installer, Source::claude), Status::notInstalled());

    // Our hooks alone: the "hooks" member goes, the rest stays; a file that is gone stays gone.
    put(claudeFile, R"({"model":"opus"})");
    installer->install(Source::claude);
    installer->uninstall(Source::claude);
    EXPECT_EQ(getJson(claudeFile), (json{{"model", "opus"}}));
    QFile::remove(at(claudeFile));
    installer->uninstall(Source::claude);
    EXPECT_FALSE(QFileInfo::exists(at(claudeFile)));
}

TEST_F(InstallerTest, ReinstallKeepsOneGroupOfOursAndBacksUpOncePerSecond) {
    // A foreign group that also runs an old copy of ours goes whole.
    put(claudeFile, R"({"hooks":{"PreToolUse":[
        {"matcher":"Bash","hooks":[{"type":"command","command":"/usr/local/bin/audit-shell"}]},
        {"hooks":[{"command":"say hi"},{"command":"'/old/.vorlix-agents/bin/vorlix-bridge' --source claude"}]}]}})");
    const QByteArray original = get(claudeFile);
    auto installer = make();
    installer->install(Source::claude);
    const QByteArray first = get(claudeFile);
    installer->install(Source::claude);
    EXPECT_EQ(get(claudeFile), first);
    const json pre = getJson(claudeFile).at("hooks").at("PreToolUse");
    ASSERT_EQ(pre.size(), 2u);
    EXPECT_EQ(pre[0].at("matcher"), "Bash");
    expectOurHooks(getJson(claudeFile).at("hooks"), claudeTable, "claude");

    // The second backup in the same second is skipped: the copy still holds the file as it was.
    EXPECT_EQ(QDir(at(QStringLiteral(".vorlix-agents/backups"))).entryList(QDir::Dirs | QDir::NoDotAndDotDot),
              QStringList{"2026-12-05T16-48-39Z"});
    EXPECT_EQ(get(QStringLiteral(".vorlix-agents/backups/2026-12-05T16-48-39Z/.claude_settings.json")), original);
    clock.advance(1);
    installer->install(Source::claude);
    EXPECT_EQ(get(QStringLiteral(".vorlix-agents/backups/2026-12-05T16-48-40Z/.claude_settings.json")), first);
}

TEST_F(InstallerTest, FilesThatAreNotOurKindOfJsonAreRefusedAndLeftAlone) {
    const std::vector<QByteArray> contents{"[]", "", "{\"hooks\": ", "{\"hooks\": []}",
                                           "{\"a\":" + QByteArray(600, '[') + QByteArray(600, ']') + "}"};
    auto installer = make();
    for (const QByteArray& content : contents) {
        SCOPED_TRACE(content.left(20).toStdString());
        put(claudeFile, content);
        installer->install(Source::claude);
        EXPECT_EQ(installer->lastMessage(), refusal);
        EXPECT_EQ(statusOf(*installer, Source::claude), Status::notInstalled());
        installer->uninstall(Source::claude); // passes such files by quietly
        EXPECT_EQ(installer->lastMessage(), QStringLiteral("Removed hooks for claude."));
        EXPECT_EQ(get(claudeFile), content);
    }
    // An event we are about to write that is not an array would be lost.
    const QByteArray oddEvent = R"({"hooks": {"PreToolUse": {"matcher": "*"}}})";
    put(claudeFile, oddEvent);
    installer->install(Source::claude);
    EXPECT_EQ(installer->lastMessage(), refusal);
    EXPECT_EQ(get(claudeFile), oddEvent);
}

TEST_F(InstallerTest, OddElementsOfForeignConfigurationSurviveInstallAndUninstall) {
    put(claudeFile, R"({"hooks":{"Stop":["legacy", {"matcher":"x"}, {"hooks":"say"}, 4]}})");
    const json stop = getJson(claudeFile).at("hooks").at("Stop");
    auto installer = make();
    installer->install(Source::claude);
    json written = getJson(claudeFile).at("hooks").at("Stop");
    EXPECT_EQ(written.size(), 5u);
    written.erase(4);
    EXPECT_EQ(written, stop);
    installer->uninstall(Source::claude);
    EXPECT_EQ(getJson(claudeFile).at("hooks").at("Stop"), stop);
}

TEST_F(InstallerTest, CodexHooksAreCreatedOrMergedAsTheirTableSays) {
    auto installer = make();
    EXPECT_EQ(statusOf(*installer, Source::codex), Status::notFound());
    installer->install(Source::codex);
    EXPECT_EQ(installer->lastMessage(), QStringLiteral("Installed hooks for codex."));
    const json root = getJson(QStringLiteral(".codex/hooks.json"));
    EXPECT_EQ(root.size(), 1u);
    EXPECT_EQ(root.at("hooks").size(), codexTable.size());
    expectOurHooks(root.at("hooks"), codexTable, "codex");

    put(QStringLiteral(".codex/hooks.json"), fixture("codex-hooks.json"));
    installer->install(Source::codex);
    const json merged = getJson(QStringLiteral(".codex/hooks.json")).at("hooks");
    EXPECT_EQ(merged.at("PreToolUse").front().at("hooks").front().at("command"), "python3 ~/.codex/guard.py");
    expectOurHooks(merged, codexTable, "codex");
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
    EXPECT_TRUE(
        QFileInfo::exists(at(QStringLiteral(".vorlix-agents/backups/2026-12-05T16-48-39Z/.grok_hooks_vorlix.json"))));

    installer->uninstall(Source::grok);
    EXPECT_FALSE(QFileInfo::exists(at(ours)));
    EXPECT_TRUE(get(config).endsWith("hooks = false\n"));
    const QByteArray mentioned = "# [compat.claude] is set elsewhere";
    put(config, mentioned);
    installer->install(Source::grok);
    EXPECT_EQ(get(config), mentioned);

    installer->uninstall(Source::grok);
    put(QStringLiteral(".grok/hooks/vibe-island.json"), "{}");
    installer->refresh();
    EXPECT_EQ(statusOf(*installer, Source::grok), Status::conflict(QStringLiteral("Vibe Island")));
    installer->evict(QStringLiteral("Vibe Island"), Source::grok);
    EXPECT_EQ(installer->lastMessage(), QStringLiteral("Removed Vibe Island's hooks from grok."));
    EXPECT_EQ(statusOf(*installer, Source::grok), Status::notInstalled());
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
    EXPECT_EQ(get(claudeFile), fixture("claude-settings.json"));
    EXPECT_FALSE(QFileInfo::exists(at(QStringLiteral(".vorlix-agents"))));

    // Something that cannot be replaced where the bridge goes.
    QDir().mkpath(at(QStringLiteral(".vorlix-agents/bin/vorlix-bridge/inside")));
    auto blocked = make();
    blocked->install(Source::claude);
    EXPECT_TRUE(blocked->lastMessage().startsWith(QStringLiteral("Failed: Could not copy the bridge")))
        << blocked->lastMessage().toStdString();
    EXPECT_EQ(get(claudeFile), fixture("claude-settings.json"));

    QDir(at(QStringLiteral(".vorlix-agents"))).removeRecursively();
    blocked->install(Source::kiro);
    EXPECT_EQ(blocked->lastMessage(), QStringLiteral("Failed: Kiro adapter isn't wired up yet."));
    EXPECT_EQ(modeOf(at(QStringLiteral(".vorlix-agents/bin/vorlix-bridge"))), 0755u);
}

TEST_F(InstallerTest, SymlinkedOrPrivateSettingsKeepTheirShape) {
    put(QStringLiteral("dotfiles/claude.json"), fixture("claude-settings.json"));
    QFile::setPermissions(at(QStringLiteral("dotfiles/claude.json")), QFile::ReadOwner | QFile::WriteOwner);
    QDir().mkpath(at(QStringLiteral(".claude")));
    ASSERT_TRUE(QFile::link(QStringLiteral("../dotfiles/claude.json"), at(claudeFile)));

    auto installer = make();
    installer->install(Source::claude);
    installer->uninstall(Source::claude);
    installer->install(Source::claude);
    EXPECT_TRUE(QFileInfo(at(claudeFile)).isSymLink());
    EXPECT_EQ(modeOf(at(QStringLiteral("dotfiles/claude.json"))), 0600u);
    EXPECT_EQ(statusOf(*installer, Source::claude), Status::installed());
    expectOurHooks(getJson(QStringLiteral("dotfiles/claude.json")).at("hooks"), claudeTable, "claude");
    EXPECT_EQ(modeOf(at(QStringLiteral(".vorlix-agents/backups/2026-12-05T16-48-39Z/.claude_settings.json"))), 0600u);
}

TEST_F(InstallerTest, QuotedCommandRunsTheBridgeFromAHomeWithAQuoteAndSpaces) {
    home = QString::fromStdString(temp.path()) + QStringLiteral("/it's my home");
    QDir().mkpath(at(QStringLiteral(".claude")));
    auto installer = make();
    installer->install(Source::claude);
    ASSERT_EQ(installer->lastMessage(), QStringLiteral("Installed hooks for claude."));
    const std::string command =
        getJson(claudeFile).at("hooks").at("PermissionRequest").back().at("hooks").at(0).at("command");
    EXPECT_EQ(command, "'" + temp.path() + "/it'\\''s my home/.vorlix-agents/bin/vorlix-bridge' --source claude");

    QProcess shell;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), home);
    shell.setProcessEnvironment(env);
    const auto runHook = [&] {
        shell.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), QString::fromStdString(command)});
        ASSERT_TRUE(shell.waitForStarted());
        shell.write(fixture("claude-PermissionRequest.json"));
        ASSERT_TRUE(shell.waitForBytesWritten(30000)); // nothing else pumps the pipe while we wait on the socket
        shell.closeWriteChannel();
    };

    // Nobody listens: the bridge exits quietly.
    runHook();
    ASSERT_TRUE(shell.waitForFinished(30000));
    ASSERT_EQ(shell.exitCode(), 0) << shell.readAllStandardError().toStdString();
    EXPECT_TRUE(shell.readAll().isEmpty());

    // Somebody listens: the event arrives from the right agent.
    const std::string socketPath = (home + QStringLiteral("/.vorlix-agents/run/vorlix.sock")).toStdString();
    QDir().mkpath(home + QStringLiteral("/.vorlix-agents/run"));
    const int listener = UnixSocket::listen(socketPath, 4);
    runHook();
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
    EXPECT_TRUE(event->gating);
    ASSERT_TRUE(shell.waitForFinished(30000));
    EXPECT_EQ(shell.exitCode(), 0);
    EXPECT_TRUE(shell.readAllStandardOutput().isEmpty());
    EXPECT_TRUE(shell.readAllStandardError().isEmpty());
}

TEST_F(InstallerTest, ObserversHearOnlyRealChanges) {
    auto installer = make();
    int agentsChanges = 0;
    int messageChanges = 0;
    QObject::connect(installer.get(), &Installer::agentsChanged, [&] { ++agentsChanges; });
    QObject::connect(installer.get(), &Installer::lastMessageChanged, [&] { ++messageChanges; });
    installer->refresh();
    installer->uninstall(Source::kiro);
    installer->uninstall(Source::kiro);
    EXPECT_EQ(agentsChanges, 0);
    EXPECT_EQ(messageChanges, 1);
    QDir().mkpath(at(QStringLiteral(".claude")));
    installer->refresh();
    EXPECT_EQ(agentsChanges, 1);
}

TEST_F(InstallerTest, HooksCommandLine) {
    auto installer = make();
    QString out, err;
    QTextStream outStream(&out), errStream(&err);
    const auto run = [&](const QStringList& args) {
        out.clear();
        err.clear();
        return HooksCommand::run(args, outStream, errStream, *installer);
    };
    QDir().mkpath(at(QStringLiteral(".claude")));
    EXPECT_EQ(run({"install", "claude"}), 0);
    EXPECT_EQ(out, QStringLiteral("Installed hooks for claude.\n"));
    EXPECT_EQ(run({"hooks"}), 0);
    EXPECT_EQ(out, QStringLiteral("claude  Claude Code  watching\n"
                                  "codex   Codex        not installed on this Mac\n"
                                  "grok    Grok Build   not installed on this Mac\n"));
    EXPECT_EQ(run({"install", "kiro"}), 1);
    EXPECT_EQ(err, QStringLiteral("Failed: Kiro adapter isn't wired up yet.\n"));
    EXPECT_EQ(run({"evict", "Vibe Island", "grok"}), 0);
    EXPECT_EQ(out, QStringLiteral("Removed Vibe Island's hooks from grok.\n"));

    for (const QStringList& args : std::vector<QStringList>{{},
                                                            {"frob"},
                                                            {"hooks", "claude"},
                                                            {"install", "Claude"},
                                                            {"uninstall", "claude", "x"},
                                                            {"evict", "claude"},
                                                            {"evict", "", "claude"}}) {
        EXPECT_EQ(run(args), 2) << args.join(' ').toStdString();
        EXPECT_TRUE(err.startsWith(QStringLiteral("usage: VorlixAgents hooks\n")));
        EXPECT_TRUE(out.isEmpty());
    }
    // The plain form finds the home on its own; no bridge sits beside this test program.
    err.clear();
    EXPECT_EQ(HooksCommand::run({"install", "codex"}, outStream, errStream), 1);
    EXPECT_EQ(err, QStringLiteral("Failed: Bridge binary missing from the app bundle.\n"));
}

} // namespace
