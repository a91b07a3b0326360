#include "installer/Installer.h"

#include "installer/CodexTrust.h"
#include "installer/GrokCompat.h"
#include "support/FileIO.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace {

using Vorlix::Source;

const QString claudeSettings = QStringLiteral(".claude/settings.json");
const QString codexHooksFile = QStringLiteral(".codex/hooks.json");
const QString codexConfig = QStringLiteral(".codex/config.toml");
const QString grokHooksDir = QStringLiteral(".grok/hooks");
const QString grokOurFile = QStringLiteral(".grok/hooks/vorlix.json");
const QString grokVibeIslandFile = QStringLiteral(".grok/hooks/vibe-island.json");
const QString grokConfig = QStringLiteral(".grok/config.toml");

struct AgentPlace {
    Source id;
    const char* configDir;
    const char* program;
};
constexpr AgentPlace places[] = {
    {Source::claude, ".claude", "claude"},
    {Source::codex, ".codex", "codex"},
    {Source::grok, ".grok", "grok"},
};

const AgentPlace* placeOf(Source source) {
    for (const AgentPlace& place : places) {
        if (place.id == source)
            return &place;
    }
    return nullptr;
}

std::string_view view(const QByteArray& bytes) {
    return {bytes.constData(), static_cast<std::size_t>(bytes.size())};
}

Installer::MaybeErr makePrivatePath(const QString& dir) {
    QString error;
    if (!FileIO::makePrivateDir(dir, &error))
        return Installer::Err{QStringLiteral("Could not create %1: %2").arg(dir, error)};
    return std::nullopt;
}

QString nameOf(Source source) {
    return QString::fromUtf8(Vorlix::displayName(source));
}

Installer::Err refuse(const QString& path, const QString& what) {
    return {path + what + QStringLiteral(" \u2014 refusing to overwrite it.")};
}

Installer::Err nothingToDo(const QString& message) {
    return {message, true};
}

// What uninstall (whose: "ours") and evict (the tool's name) say when nothing of that is in the file.
QString nothingOf(Source source, const QString& whose, const QString& path) {
    return QStringLiteral("Nothing to remove: %1 has no hooks of %2 in %3.").arg(nameOf(source), whose, path);
}

Installer::Err noKiroInstaller() {
    return {QStringLiteral("Kiro CLI has no installer: its hooks are set up by hand."), true};
}

} // namespace

QString Installer::Status::statusText() const {
    switch (m_kind) {
    case Kind::installed:
        return QStringLiteral("watching");
    case Kind::awaitingTrust:
        return QStringLiteral("installed \u2014 waiting for you to trust it in Codex's /hooks");
    case Kind::notInstalled:
        return QStringLiteral("hooks not installed");
    case Kind::notFound:
        return QStringLiteral("not installed on this machine");
    case Kind::conflict:
        return m_detail + QStringLiteral(" owns the hooks");
    case Kind::unsupported:
        return m_detail.toLower();
    }
    return {};
}

Installer::Installer(QString home, QString bridgeSource, const Clock& clock, QObject* parent)
    : QObject(parent), m_home(std::move(home)), m_bridgeSource(std::move(bridgeSource)), m_clock(clock) {
    refresh();
}

QString Installer::defaultBridgeSource() {
    return QCoreApplication::applicationDirPath() + QStringLiteral("/vorlix-bridge");
}

void Installer::refresh() {
    const auto row = [](Source id, const char* configDir, Status status) {
        return Agent{id, nameOf(id), QString::fromLatin1(configDir), std::move(status)};
    };
    QList<Agent> agents{row(Source::claude, ".claude", claudeStatus()), row(Source::codex, ".codex", codexStatus()),
                        row(Source::grok, ".grok", grokStatus())};
    if (agents == m_agents)
        return;
    m_agents = std::move(agents);
    emit agentsChanged();
}

QStringList Installer::watchedPaths() const {
    QStringList paths{m_home};
    for (const AgentPlace& place : places)
        paths << absolute(QLatin1String(place.configDir));
    for (const QString& file : {claudeSettings, codexHooksFile, codexConfig, grokHooksDir, grokConfig})
        paths << absolute(file);
    return paths;
}

Installer::Status Installer::status(Source source) const {
    for (const Agent& agent : m_agents) {
        if (agent.id == source)
            return agent.status;
    }
    return Status::notFound();
}

bool Installer::isOnMachine(Source source) const {
    const AgentPlace* place = placeOf(source);
    return place != nullptr && (QFileInfo::exists(absolute(QLatin1String(place->configDir))) ||
                                !QStandardPaths::findExecutable(QLatin1String(place->program)).isEmpty());
}

Installer::MaybeErr Installer::install(Source source, bool force) {
    const AgentPlace* place = placeOf(source);
    if (place == nullptr)
        return finish(noKiroInstaller(), {});
    if (!force && !isOnMachine(source)) {
        return finish(Err{QStringLiteral("%1 is not on this machine (no ~/%2, no %3 on PATH), so nothing was changed. "
                                         "Add --force to install its hooks anyway.")
                              .arg(nameOf(source), QLatin1String(place->configDir), QLatin1String(place->program))},
                      {});
    }
    MaybeErr error = stageBridge();
    bool wrote = false;
    QString done = QStringLiteral("Installed hooks for %1.").arg(nameOf(source));
    if (!error) {
        switch (source) {
        case Source::claude:
            error = mergeHooks(claudeSettings, HookConfig::claudeHooks(homeUtf8()));
            break;
        case Source::codex:
            error = mergeHooks(codexHooksFile, HookConfig::codexHooks(homeUtf8()), &wrote);
            // Trust is for a hook's exact definition: one we have just written needs it anew.
            if (!wrote && codexStatus() == Status::installed())
                done += QStringLiteral(" Codex already trusts them.");
            else
                done += QStringLiteral(" Open Codex and trust them in /hooks \u2014 Codex runs no hook until you do.");
            break;
        case Source::grok:
            error = writeGrokFile();
            if (const QString note = error ? QString() : disableGrokClaudeCompat(); !note.isEmpty())
                done += QLatin1Char(' ') + note;
            break;
        case Source::kiro:
            break;
        }
    }
    return finish(error, done);
}

Installer::MaybeErr Installer::uninstall(Source source) {
    const QString ours = QStringLiteral("ours");
    MaybeErr error;
    switch (source) {
    case Source::claude:
        error = stripHooks(claudeSettings, QString::fromUtf8(HookConfig::ourNeedle), false,
                           nothingOf(source, ours, claudeSettings));
        break;
    case Source::codex:
        error = stripHooks(codexHooksFile, QString::fromUtf8(HookConfig::ourNeedle), false,
                           nothingOf(source, ours, codexHooksFile));
        break;
    case Source::grok:
        error = removeFile(grokOurFile, nothingOf(source, ours, grokOurFile));
        break;
    case Source::kiro:
        error = noKiroInstaller();
        break;
    }
    return finish(error, QStringLiteral("Removed hooks for %1.").arg(nameOf(source)));
}

Installer::MaybeErr Installer::evict(const QString& name, Source from) {
    const QString needle =
        name.toLower().contains(QStringLiteral("vibe")) ? QStringLiteral("vibe-island") : QStringLiteral("island");
    MaybeErr error;
    switch (from) {
    case Source::claude:
        error = stripHooks(claudeSettings, needle, true, nothingOf(from, name, claudeSettings));
        break;
    case Source::codex:
        error = stripHooks(codexHooksFile, needle, false, nothingOf(from, name, codexHooksFile));
        break;
    case Source::grok:
        error = removeFile(grokVibeIslandFile, nothingOf(from, name, grokVibeIslandFile));
        break;
    case Source::kiro:
        error = noKiroInstaller();
        break;
    }
    return finish(error, QStringLiteral("Removed %1's hooks from %2.").arg(name, nameOf(from)));
}

Installer::MaybeErr Installer::finish(MaybeErr error, const QString& done) {
    if (!error)
        setLastMessage(done);
    else
        setLastMessage(error->nothingToDo ? error->description() : QStringLiteral("Failed: ") + error->description());
    refresh();
    return error;
}

Installer::Status Installer::claudeStatus() const {
    return jsonHooksStatus(Source::claude, claudeSettings);
}

Installer::Status Installer::codexStatus() const {
    Status status = jsonHooksStatus(Source::codex, codexHooksFile);
    if (status.kind() != Status::Kind::installed)
        return status;
    // Codex skips hooks nobody trusted in its /hooks screen, without a word: "installed" would be a lie.
    Loaded hooks;
    if (load(codexHooksFile, hooks)) // changed since the probe: the next refresh tells
        return status;
    const QStringList ours =
        CodexTrust::ourKeys(absolute(codexHooksFile), hooks.json.value.value("hooks", HookConfig::json()));
    const QSet<QString> trusted = CodexTrust::trustedKeys(FileIO::read(absolute(codexConfig)).data);
    for (const QString& key : ours) {
        if (!trusted.contains(key))
            return Status::awaitingTrust();
    }
    return status;
}

Installer::Status Installer::grokStatus() const {
    if (!isOnMachine(Source::grok))
        return Status::notFound();
    if (QFileInfo::exists(absolute(grokOurFile)))
        return Status::installed();
    if (QFileInfo::exists(absolute(grokVibeIslandFile)))
        return Status::conflict(QStringLiteral("Vibe Island"));
    return Status::notInstalled();
}

Installer::Status Installer::jsonHooksStatus(Source source, const QString& file) const {
    if (!isOnMachine(source))
        return Status::notFound();
    Loaded loaded;
    if (load(file, loaded) || !loaded.exists)
        return Status::notInstalled();
    const auto hooks = loaded.json.value.find("hooks");
    const HookConfig::Scan scan = hooks == loaded.json.value.end() ? HookConfig::Scan{} : HookConfig::scan(*hooks);
    if (scan.ours)
        return Status::installed();
    if (scan.foreign)
        return Status::conflict(QString::fromStdString(*scan.foreign));
    return Status::notInstalled();
}

void Installer::setLastMessage(const QString& message) {
    if (message == m_lastMessage)
        return;
    m_lastMessage = message;
    emit lastMessageChanged();
}

Installer::MaybeErr Installer::stageBridge() {
    if (!QFileInfo(m_bridgeSource).isFile())
        return Err{QStringLiteral("vorlix-bridge is missing next to the application (%1).").arg(m_bridgeSource)};
    const QString binDir = absolute(QStringLiteral(".vorlix-agents/bin"));
    if (MaybeErr error = makePrivatePath(binDir))
        return error;
    const QString target = binDir + QStringLiteral("/vorlix-bridge");
    // Unlinking first lets an agent that is running the old copy finish with it.
    QFile::remove(target);
    QFile source(m_bridgeSource);
    if (!source.copy(target))
        return Err{QStringLiteral("Could not copy the bridge to %1: %2").arg(target, source.errorString())};
    QFile staged(target);
    constexpr auto mode0755 = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup |
                              QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther;
    if (!staged.setPermissions(mode0755))
        return Err{QStringLiteral("Could not make %1 executable: %2").arg(target, staged.errorString())};
    return std::nullopt;
}

Installer::MaybeErr Installer::loadBytes(const QString& path, Loaded& file) const {
    const QFileInfo info(absolute(path));
    if (!info.exists() && !info.isSymLink())
        return std::nullopt;
    // A FIFO, a device or a folder is not ours to read or replace: reading one could block or never end.
    if (info.exists() && !info.isFile())
        return refuse(path, QStringLiteral(" is not a regular file"));
    FileIO::ReadResult read = FileIO::read(absolute(path));
    if (read.status != FileIO::ReadStatus::ok)
        return refuse(path, QStringLiteral(" cannot be read (%1)").arg(read.error));
    file.exists = true;
    file.bytes = std::move(read.data);
    return std::nullopt;
}

Installer::MaybeErr Installer::load(const QString& path, Loaded& file) const {
    if (MaybeErr error = loadBytes(path, file); error || !file.exists)
        return error;
    file.json = JsonShape::read(view(file.bytes));
    if (!file.json.problem.empty())
        return refuse(path, QLatin1Char(' ') + QString::fromStdString(file.json.problem));
    if (!file.json.value.is_object())
        return refuse(path, QStringLiteral(": the top level is not an object"));
    return std::nullopt;
}

Installer::MaybeErr Installer::mergeHooks(const QString& path, const HookConfig::json& add, bool* wrote) {
    Loaded file;
    if (MaybeErr error = load(path, file))
        return error;
    HookConfig::json root = file.exists ? file.json.value : HookConfig::json::object();
    std::optional<HookConfig::json> merged = HookConfig::merge(std::move(root), add);
    if (!merged)
        return refuse(path, QStringLiteral(": \"hooks\" is not an object"));
    return replace(path, file, *merged, wrote);
}

Installer::MaybeErr Installer::writeGrokFile() {
    // The file is ours alone and is replaced whole, in our own shape.
    Loaded file;
    if (MaybeErr error = loadBytes(grokOurFile, file))
        return error;
    return replace(grokOurFile, file, HookConfig::json{{"hooks", HookConfig::grokHooks(homeUtf8())}});
}

QString Installer::disableGrokClaudeCompat() {
    Loaded file;
    if (MaybeErr error = loadBytes(grokConfig, file))
        return GrokCompat::leftAlone(error->description());
    const GrokCompat::Plan plan = GrokCompat::plan(file.bytes);
    if (!plan.text)
        return plan.note;
    QString error;
    if (!FileIO::writeAtomically(absolute(grokConfig), *plan.text, &error, FileIO::Access::owner))
        return GrokCompat::leftAlone(QStringLiteral("Could not write %1: %2.").arg(grokConfig, error));
    return {};
}

Installer::MaybeErr Installer::stripHooks(const QString& path, const QString& needle, bool statusLine,
                                          const QString& nothing) {
    Loaded file;
    if (MaybeErr error = load(path, file))
        return error;
    if (!file.exists)
        return nothingToDo(nothing);
    std::optional<HookConfig::json> stripped = HookConfig::strip(file.json.value, needle.toStdString());
    if (!stripped)
        return refuse(path, QStringLiteral(": \"hooks\" is not an object"));
    if (statusLine)
        HookConfig::stripStatusLine(*stripped, needle.toStdString());
    if (*stripped == file.json.value)
        return nothingToDo(nothing);
    return replace(path, file, *stripped);
}

Installer::MaybeErr Installer::removeFile(const QString& path, const QString& nothing) {
    const QFileInfo info(absolute(path));
    if (!info.exists() && !info.isSymLink())
        return nothingToDo(nothing);
    QFile file(absolute(path));
    if (!file.remove())
        return Err{QStringLiteral("Could not remove %1: %2").arg(path, file.errorString())};
    return std::nullopt;
}

Installer::MaybeErr Installer::replace(const QString& path, const Loaded& file, const HookConfig::json& value,
                                       bool* wrote) {
    const QByteArray text = QByteArray::fromStdString(file.json.shape.write(value));
    if (file.exists && text == file.bytes)
        return std::nullopt;
    if (wrote != nullptr)
        *wrote = true;
    if (file.exists) {
        if (MaybeErr error = backup(path, file.bytes))
            return error;
    }
    QString error;
    // A file we create is the agent's to run commands from: nobody else may write it, whatever the umask.
    if (!FileIO::writeAtomically(absolute(path), text, &error, FileIO::Access::owner))
        return Err{QStringLiteral("Could not write %1: %2").arg(path, error)};
    return std::nullopt;
}

Installer::MaybeErr Installer::backup(const QString& path, const QByteArray& bytes) {
    const QString stamp = m_clock.now().toUTC().toString(QStringLiteral("yyyy-MM-dd'T'HH-mm-ss'Z'"));
    const QString folder = absolute(QStringLiteral(".vorlix-agents/backups/") + stamp);
    if (MaybeErr error = makePrivatePath(folder))
        return error;
    QString flat = path;
    flat.replace(QLatin1Char('/'), QLatin1Char('_'));
    const QString target = folder + QLatin1Char('/') + flat;
    // An earlier copy from the same second is kept: it holds the older content.
    if (QFileInfo::exists(target))
        return std::nullopt;
    // The bytes just read, not a second copy of the file: what is kept is what was replaced.
    QString error;
    if (!FileIO::writeAtomically(target, bytes, &error, FileIO::Access::owner))
        return Err{QStringLiteral("Could not back up %1 to %2: %3").arg(path, target, error)};
    return std::nullopt;
}
