#include "installer/Installer.h"
#include "BridgeProcess.h"
#include "Event.h"
#include "EventLoop.h"
#include "LineServer.h"
#include "TempHome.h"
#include "TestFiles.h"
#include "installer/AgentWatcher.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <sys/stat.h>

using json = HookConfig::json;
using Vorlix::Source;
using Status = Installer::Status;

namespace {

const QString claudeFile = QStringLiteral(".claude/settings.json");
const QString codexFile = QStringLiteral(".codex/hooks.json");
const QString backups = QStringLiteral(".vorlix-agents/backups");
const QString firstBackup = backups + QStringLiteral("/2026-12-05T16-48-39Z/");

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
    std::string oldPath = qgetenv("PATH").toStdString();

    // No agent program is on PATH unless a test puts it in <home>/bin.
    void SetUp() override { setenv("PATH", (temp.path() + "/bin").c_str(), 1); }
    void TearDown() override { setenv("PATH", oldPath.c_str(), 1); }

    std::unique_ptr<Installer> make(const QString& bridge = QStringLiteral(VORLIX_BRIDGE_PATH)) {
        return std::make_unique<Installer>(home, bridge, clock);
    }
    QString at(const QString& relative) const { return home + QLatin1Char('/') + relative; }
    void put(const QString& relative, const QByteArray& data) { TestFiles::write(at(relative), data); }
    QByteArray get(const QString& relative) const { return read(at(relative)); }
    json getJson(const QString& relative) const { return json::parse(get(relative).toStdString()); }
};

TEST_F(InstallerTest, InstallAppendsOurGroupsOnceAndUninstallRestoresTheFile) {
    // The fixture holds foreign groups and odd array elements; it is a private file reached through a symlink,
    // and stays one.
    const TestFiles::Umask open(0); // our backups stay private all the same
    const QString target = QStringLiteral("dotfiles/claude.json");
    put(target, fixture("installer/claude-settings.json"));
    QFile::setPermissions(at(target), QFile::ReadOwner | QFile::WriteOwner);
    QDir().mkpath(at(QStringLiteral(".claude")));
    ASSERT_TRUE(QFile::link(QStringLiteral("../") + target, at(claudeFile)));
    const json before = getJson(claudeFile);
    auto installer = make();
    EXPECT_EQ(installer->status(Source::claude), Status::notInstalled());
    EXPECT_FALSE(installer->install(Source::claude));
    const QByteArray first = get(claudeFile);
    clock.advance(1);
    EXPECT_FALSE(installer->install(Source::claude));
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
    EXPECT_EQ(after, before);
    EXPECT_EQ(mode(at(QStringLiteral(".vorlix-agents/bin/vorlix-bridge"))), 0755u);
    EXPECT_EQ(mode(at(QStringLiteral(".vorlix-agents/bin"))), 0700u);
    EXPECT_EQ(get(QStringLiteral(".vorlix-agents/bin/vorlix-bridge")), read(QStringLiteral(VORLIX_BRIDGE_PATH)));

    // The unchanged second install took no backup.
    EXPECT_EQ(QDir(at(backups)).entryList(QDir::Dirs | QDir::NoDotAndDotDot), QStringList{"2026-12-05T16-48-39Z"});
    EXPECT_EQ(get(firstBackup + QStringLiteral(".claude_settings.json")), fixture("installer/claude-settings.json"));
    EXPECT_EQ(mode(at(firstBackup + QStringLiteral(".claude_settings.json"))), 0600u);
    EXPECT_EQ(mode(at(firstBackup)), 0700u);
    EXPECT_FALSE(installer->uninstall(Source::claude));
    EXPECT_EQ(getJson(claudeFile), before);
    EXPECT_EQ(get(backups + QStringLiteral("/2026-12-05T16-48-40Z/.claude_settings.json")), first);
    EXPECT_TRUE(QFileInfo(at(claudeFile)).isSymLink());
    EXPECT_EQ(mode(at(target)), 0600u);

    // Install drops a foreign group that also runs an old copy of ours whole (uninstall alone would keep "say
    // hi"); with only our hooks left the "hooks" member goes.
    put(claudeFile, R"({"model":"opus","hooks":{"Stop":[{"hooks":[{"command":"say hi"},
        {"command":"'/old/.vorlix-agents/bin/vorlix-bridge' --source claude"}]}]}})");
    installer->install(Source::claude);
    installer->uninstall(Source::claude);
    EXPECT_EQ(getJson(claudeFile), (json{{"model", "opus"}}));
}

// Install then uninstall gives back the owner's bytes: key order, indentation, every number as it was spelled.
TEST_F(InstallerTest, AgentFilesKeepTheirShapeAndEveryNumber) {
    const char* const files[] = {
        "{\n\t\"zeta\": 123456789012345678901234567890,\n\t\"alpha\": 1.5e-400,\n\t\"mid\": [\n\t\t1e5,\n\t\t1.50,\n"
        "\t\t-0.0,\n\t\t9007199254740993,\n\t\t{}\n\t]\n}\n",
        R"({"b":2,"a":{"x":[1,2.5E3,[]]},"c":"café ✓"})",
    };
    QDir().mkpath(at(QStringLiteral(".claude")));
    auto installer = make();
    for (const char* text : files) {
        SCOPED_TRACE(text);
        put(claudeFile, text);
        EXPECT_FALSE(installer->install(Source::claude)) << installer->lastMessage().toStdString();
        EXPECT_FALSE(installer->uninstall(Source::claude)) << installer->lastMessage().toStdString();
        EXPECT_EQ(get(claudeFile).toStdString(), text);
    }
}

// Anything but a regular file is refused before it is opened, by every operation. (A FIFO and a link to /dev/zero,
// which would block or never end: the command-line test.)
TEST_F(InstallerTest, FilesThatCannotBeKeptAreRefusedAndLeftAlone) {
    const std::pair<QByteArray, const char*> texts[] = {
        {"", " isn't valid JSON"},
        {"[]", ": the top level is not an object"},
        {"{\"hooks\": []}", ": \"hooks\" is not an object"},
        {"{\"hooks\": {}, \"big\": -1e400}", " holds the number -1e400, which cannot be written back unchanged"},
    };
    const auto refusal = [](const char* what) {
        return QStringLiteral("Failed: .claude/settings.json%1 \u2014 refusing to overwrite it.").arg(what);
    };
    const QString path = at(claudeFile);
    QDir().mkpath(at(QStringLiteral(".claude")));
    const auto everyOperation = [&](const char* what) {
        auto installer = make();
        for (const auto& operation : std::vector<std::function<Installer::MaybeErr()>>{
                 [&] { return installer->install(Source::claude); },
                 [&] { return installer->uninstall(Source::claude); },
                 [&] { return installer->evict(QStringLiteral("Vibe Island"), Source::claude); }}) {
            EXPECT_TRUE(operation());
            EXPECT_EQ(installer->lastMessage(), refusal(what));
        }
        EXPECT_EQ(installer->status(Source::claude), Status::notInstalled());
        EXPECT_FALSE(QFileInfo::exists(at(backups)));
    };
    for (const auto& [content, what] : texts) {
        put(claudeFile, content);
        everyOperation(what);
        EXPECT_EQ(get(claudeFile), content);
    }

    QFile::remove(path);
    ASSERT_TRUE(QDir().mkpath(path));
    everyOperation(" is not a regular file");
    EXPECT_TRUE(QFileInfo(path).isDir());

    // An event that is not an array holds nothing an agent runs: ours take its place.
    QDir().rmdir(path);
    put(claudeFile, R"({"hooks": {"PreToolUse": {"matcher": "*"}}, "model": "opus"})");
    EXPECT_FALSE(make()->install(Source::claude));
    EXPECT_EQ(getJson(claudeFile).at("hooks").at("PreToolUse"),
              HookConfig::claudeHooks(home.toStdString())["PreToolUse"]);
}

// Files we create hold commands the agent runs: only their owner may write them, whatever the umask. A file
// that was there keeps its mode.
TEST_F(InstallerTest, FilesWeCreateArePrivateAndOthersKeepTheirMode) {
    const TestFiles::Umask open(0);
    for (const char* folder : {".claude", ".codex", ".grok"})
        QDir().mkpath(at(QLatin1String(folder)));
    put(codexFile, "{}\n");
    QFile::setPermissions(at(codexFile), QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
    auto installer = make();
    for (Source source : {Source::claude, Source::codex, Source::grok})
        EXPECT_FALSE(installer->install(source)) << installer->lastMessage().toStdString();
    for (const char* file : {".claude/settings.json", ".grok/hooks/vorlix.json", ".grok/config.toml"})
        EXPECT_EQ(mode(at(QLatin1String(file))), 0600u) << file;
    EXPECT_EQ(mode(at(QStringLiteral(".grok/hooks"))), 0700u);
    EXPECT_EQ(mode(at(codexFile)), 0644u);
}

// Codex runs none of our hooks until the person trusts each one in its /hooks screen, however its config.toml
// spells that.
TEST_F(InstallerTest, CodexIsInstalledOnlyOnceEveryHookOfOursIsTrusted) {
    const QString config = QStringLiteral(".codex/config.toml");
    const QByteArray asCodexWroteIt = fixture("agents/codex/trust/config.toml").replace("/home/dev", home.toUtf8());
    const QStringList older{"pre_tool_use", "permission_request", "post_tool_use", "session_start", "stop"};
    const QStringList newer{"user_prompt_submit", "session_end"};
    const auto spelled = [&](const QStringList& events, const char* pattern, const char* before = "",
                             const char* after = "") {
        QByteArray text = before;
        for (const QString& event : events)
            text += QString::fromLatin1(pattern).arg(home + QStringLiteral("/.codex/hooks.json:") + event).toUtf8();
        return text + after;
    };
    const QByteArray newRows = spelled(newer, "[hooks.state.\"%1:0:0\"]\ntrusted_hash = \"sha256:00\"\n");
    const QStringList all = older + newer;
    const std::pair<QByteArray, bool> cases[] = {
        {{}, false},
        {asCodexWroteIt, false}, // trusted before the prompt and session-end rows existed
        {asCodexWroteIt + newRows, true},
        {"model = \"o3\"\n" + asCodexWroteIt + newRows + "[hooks.state.\"other\"]\ntrusted_hash = \"x\"\n", true},
        {spelled(all, "hooks.state.\"%1:0:0\".trusted_hash = 'sha256:1'\n"), true},
        {spelled(all, "\"%1:0:0\" = { trusted_hash = \"h\" }\n", "[hooks.\"state\"]\n"), true},
        {spelled(all, "'%1:0:0' = { trusted_hash = \"h\" }, ", "hooks = { state = { ", "} }\n").replace(", }", " }"),
         true},
        {spelled(all, "[hooks.state.'%1:0:0']\ntrusted_hash = \"\"\n"), false},
        {QByteArray(asCodexWroteIt + newRows).replace("trusted_hash = \"sha256:8e4c", "# trusted_hash = \""), false},
        {QByteArray(asCodexWroteIt + newRows).replace(":stop:0:0", ":stop:1:0"), false},
        {asCodexWroteIt + newRows + "[broken\n", false},
    };
    QDir().mkpath(at(QStringLiteral(".codex")));
    auto installer = make();
    EXPECT_FALSE(installer->install(Source::codex)); // what it says then: the command-line test
    for (const auto& [content, trusted] : cases) {
        SCOPED_TRACE(content.toStdString());
        put(config, content);
        installer->refresh();
        EXPECT_EQ(installer->status(Source::codex), trusted ? Status::installed() : Status::awaitingTrust());
    }
    put(config, asCodexWroteIt + newRows);
    EXPECT_FALSE(installer->install(Source::codex));
    EXPECT_EQ(installer->lastMessage(), QStringLiteral("Installed hooks for Codex. Codex already trusts them."));

    // What Codex 0.171 trusted, as it wrote it; Codex clamps a SessionEnd hook to 3 s and warns at every start when
    // it asks for more.
    json written = HookConfig::codexHooks("/home/dev");
    EXPECT_LE(written["SessionEnd"][0]["hooks"][0]["timeout"].get<int>(), 3);
    const json trusted = json::parse(fixture("agents/codex/trust/hooks.json").toStdString());
    for (const auto& [event, groups] : trusted.at("hooks").items())
        EXPECT_EQ(written.at(event), groups) << event;
}

// Grok also runs Claude Code's hooks unless compat.claude says otherwise; an existing compat.claude, in any
// spelling, is the person's to change: a second one would make the file invalid.
TEST_F(InstallerTest, GrokGetsItsOwnFileAndCompatIsSetOnlyWhereItCanBe) {
    const QString config = QStringLiteral(".grok/config.toml");
    const QString ours = QStringLiteral(".grok/hooks/vorlix.json");
    const QByteArray added = "\n[compat.claude]\nhooks = false\n";
    const QString leftAlone = QStringLiteral(" Set hooks = false under compat.claude there yourself, or Grok Build "
                                             "also runs Claude Code's hooks.");
    const struct {
        QByteArray before;
        std::optional<QByteArray> after; // nullopt: left as it was
        const char* why = nullptr;       // why it was left alone
    } cases[] = {
        {"model = \"grok\" # café", "model = \"grok\" # café\n" + added},
        {"[compat]\nother = 1\n", "[compat]\nother = 1\n" + added},
        {"[compat.claude]\nhooks = false\n", std::nullopt},
        {"compat.claude.hooks = false\n", std::nullopt},
        {"[compat]\nclaude = { hooks = true }\n", std::nullopt, "already sets compat.claude"},
        {"compat = { other = 1 }\n", std::nullopt, "sets compat where compat.claude cannot be added"},
        {"model = \"grok\" # caf\xff\n", std::nullopt, "isn't valid TOML"},
    };
    auto installer = make();
    EXPECT_EQ(installer->status(Source::grok), Status::notFound());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.before.toStdString());
        put(config, c.before);
        EXPECT_FALSE(installer->install(Source::grok));
        const QString note =
            c.why ? QStringLiteral(" .grok/config.toml %1, so it was left alone.").arg(c.why) + leftAlone : QString();
        EXPECT_EQ(installer->lastMessage(), QStringLiteral("Installed hooks for Grok Build.") + note);
        EXPECT_EQ(get(config), c.after.value_or(c.before));
    }
    EXPECT_EQ(getJson(ours), (json{{"hooks", HookConfig::grokHooks(home.toStdString())}}));
    EXPECT_EQ(installer->status(Source::grok), Status::installed());

    QFile::remove(at(config));
    ASSERT_EQ(::mkfifo(QFile::encodeName(at(config)).constData(), 0600), 0);
    EXPECT_FALSE(installer->install(Source::grok));
    EXPECT_EQ(installer->lastMessage(),
              QStringLiteral("Installed hooks for Grok Build. .grok/config.toml is not a regular file \u2014 refusing "
                             "to overwrite it.") +
                  leftAlone);
    EXPECT_FALSE(installer->uninstall(Source::grok));
    EXPECT_FALSE(QFileInfo::exists(at(ours)));
}

// Nothing is claimed that did not happen, and a file with nothing to remove is neither rewritten nor backed up.
TEST_F(InstallerTest, NothingToDoIsSaidAndChangesNothing) {
    put(claudeFile, fixture("installer/claude-notch-tools.json"));
    put(QStringLiteral(".grok/hooks/vibe-island.json"), "{}");
    const QByteArray codexHooks = R"({"hooks":{"Stop":[{"hooks":[{"command":"say hi"}]}]}})";
    put(codexFile, codexHooks);
    auto installer = make();
    const QString none = QStringLiteral("Nothing to remove: %1 has no hooks of %2 in %3.");
    const QString kiro = QStringLiteral("Kiro CLI has no installer: its hooks are set up by hand.");
    const QString island = QStringLiteral("Vibe Island");
    const std::pair<std::function<Installer::MaybeErr()>, QString> cases[] = {
        {[&] { return installer->uninstall(Source::claude); }, none.arg("Claude Code", "ours", claudeFile)},
        {[&] { return installer->evict(island, Source::codex); }, none.arg("Codex", island, codexFile)},
        {[&] { return installer->uninstall(Source::grok); }, none.arg("Grok Build", "ours", ".grok/hooks/vorlix.json")},
        {[&] { return installer->install(Source::kiro); }, kiro},
    };
    for (const auto& [operation, message] : cases) {
        const Installer::MaybeErr error = operation();
        ASSERT_TRUE(error);
        EXPECT_TRUE(error->nothingToDo);
        EXPECT_EQ(installer->lastMessage(), message);
    }
    EXPECT_EQ(get(codexFile), codexHooks);
    EXPECT_FALSE(QFileInfo::exists(at(QStringLiteral(".vorlix-agents"))));

    // Each named foreign tool loses only its own hooks; a Grok tool's own file goes whole. "island" catches the
    // island hook; the one known only by "notch" stays.
    EXPECT_FALSE(installer->evict(QStringLiteral("Vibe Island"), Source::claude));
    EXPECT_EQ(installer->lastMessage(), QStringLiteral("Removed Vibe Island's hooks from Claude Code."));
    const json root = getJson(claudeFile);
    EXPECT_FALSE(root.contains("statusLine"));
    EXPECT_FALSE(root.at("hooks").contains("PermissionRequest"));
    EXPECT_EQ(root.at("hooks").at("Stop").front().at("hooks").size(), 3u);
    EXPECT_TRUE(installer->evict(QStringLiteral("Vibe Island"), Source::claude));
    EXPECT_FALSE(installer->evict(QStringLiteral("another notch app"), Source::claude));
    const json stop = getJson(claudeFile).at("hooks").at("Stop").front().at("hooks");
    ASSERT_EQ(stop.size(), 2u);
    EXPECT_EQ(stop[0].at("command"), "/opt/notchy/notch-hook stop");
    EXPECT_EQ(installer->status(Source::claude), Status::conflict(QStringLiteral("another notch app")));
    EXPECT_FALSE(installer->evict(QStringLiteral("Vibe Island"), Source::grok));
    EXPECT_FALSE(QFileInfo::exists(at(QStringLiteral(".grok/hooks/vibe-island.json"))));
    EXPECT_EQ(installer->status(Source::grok), Status::notInstalled());
}

// An agent is on this machine when its folder exists or its program is on PATH; otherwise only forced.
TEST_F(InstallerTest, AgentsOnPathOrWithAFolderAreOnThisMachine) {
    auto installer = make();
    AgentWatcher watcher(*installer);
    EXPECT_EQ(installer->status(Source::claude), Status::notFound());
    EXPECT_TRUE(installer->install(Source::claude));
    EXPECT_TRUE(QDir(home).entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::Hidden).isEmpty());

    put(QStringLiteral("bin/codex"), "#!/bin/sh\n");
    QFile::setPermissions(at(QStringLiteral("bin/codex")), QFile::ReadOwner | QFile::ExeOwner);
    QDir().mkpath(at(QStringLiteral(".grok")));
    EXPECT_TRUE(waitUntil([&] { return installer->status(Source::grok) == Status::notInstalled(); }));
    installer->refresh(); // a program on PATH is seen at the next refresh
    EXPECT_EQ(installer->status(Source::codex), Status::notInstalled());
    put(claudeFile, R"({"hooks":{"Stop":[{"hooks":[{"command":"island-hook"}]}]}})");
    EXPECT_TRUE(waitUntil([&] { return installer->status(Source::claude).kind() == Status::Kind::conflict; }));
    QDir(at(QStringLiteral(".claude"))).removeRecursively();
    EXPECT_TRUE(waitUntil([&] { return installer->status(Source::claude) == Status::notFound(); }));
    EXPECT_FALSE(installer->install(Source::claude, true));
    EXPECT_EQ(installer->status(Source::claude), Status::installed());
}

TEST_F(InstallerTest, BridgeAndBackupProblemsFailBeforeAnyAgentFileIsTouched) {
    put(claudeFile, fixture("installer/claude-settings.json"));
    auto missing = make(home + QStringLiteral("/nowhere/vorlix-bridge"));
    EXPECT_TRUE(missing->install(Source::claude));
    EXPECT_EQ(missing->lastMessage(), QStringLiteral("Failed: vorlix-bridge is missing next to the application (%1).")
                                          .arg(home + QStringLiteral("/nowhere/vorlix-bridge")));
    EXPECT_FALSE(QFileInfo::exists(at(QStringLiteral(".vorlix-agents"))));

    put(backups, "no backups can go here");
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

} // namespace
