#include "installer/Installer.h"

#include "support/FileIO.h"
#include "support/Log.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <filesystem>
#include <system_error>

namespace {

const QString claudeSettings = QStringLiteral(".claude/settings.json");
const QString codexHooksFile = QStringLiteral(".codex/hooks.json");
const QString grokOurFile = QStringLiteral(".grok/hooks/vorlix.json");
const QString grokVibeIslandFile = QStringLiteral(".grok/hooks/vibe-island.json");
const QString grokConfig = QStringLiteral(".grok/config.toml");

std::string_view view(const QByteArray& bytes) {
    return {bytes.constData(), static_cast<std::size_t>(bytes.size())};
}

Installer::MaybeErr makePath(const QString& dir) {
    std::error_code error;
    std::filesystem::create_directories(QFile::encodeName(dir).toStdString(), error);
    if (error)
        return Installer::Err{
            QStringLiteral("Could not create %1: %2").arg(dir, QString::fromStdString(error.message()))};
    return std::nullopt;
}

QString raw(Vorlix::Source source) {
    return QString::fromUtf8(Vorlix::rawValue(source));
}

} // namespace

QString Installer::Status::statusText() const {
    switch (m_kind) {
    case Kind::installed:
        return QStringLiteral("watching");
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
    using Vorlix::Source;
    const auto row = [](Source id, const char* configDir, Status status) {
        return Agent{id, QString::fromUtf8(Vorlix::displayName(id)), QString::fromLatin1(configDir), std::move(status)};
    };
    QList<Agent> agents{row(Source::claude, ".claude", claudeStatus()), row(Source::codex, ".codex", codexStatus()),
                        row(Source::grok, ".grok", grokStatus())};
    if (agents == m_agents)
        return;
    m_agents = std::move(agents);
    emit agentsChanged();
}

void Installer::install(Vorlix::Source source) {
    MaybeErr error = stageBridge();
    if (!error) {
        switch (source) {
        case Vorlix::Source::claude:
            error = mergeHooks(claudeSettings, HookConfig::claudeHooks(homeUtf8()));
            break;
        case Vorlix::Source::codex:
            error = mergeHooks(codexHooksFile, HookConfig::codexHooks(homeUtf8()));
            break;
        case Vorlix::Source::grok:
            error = writeGrokFile();
            break;
        case Vorlix::Source::kiro:
            error = Err{QStringLiteral("Kiro adapter isn't wired up yet.")};
            break;
        }
    }
    setLastMessage(error ? QStringLiteral("Failed: ") + error->description()
                         : QStringLiteral("Installed hooks for %1.").arg(raw(source)));
    refresh();
}

void Installer::uninstall(Vorlix::Source source) {
    MaybeErr error;
    switch (source) {
    case Vorlix::Source::claude:
        error = stripHooks(claudeSettings, QString::fromUtf8(HookConfig::ourNeedle));
        break;
    case Vorlix::Source::codex:
        error = stripHooks(codexHooksFile, QString::fromUtf8(HookConfig::ourNeedle));
        break;
    case Vorlix::Source::grok:
        QFile::remove(absolute(grokOurFile)); // already gone is fine
        break;
    case Vorlix::Source::kiro:
        break;
    }
    setLastMessage(error ? QStringLiteral("Failed: ") + error->description()
                         : QStringLiteral("Removed hooks for %1.").arg(raw(source)));
    refresh();
}

void Installer::evict(const QString& name, Vorlix::Source from) {
    const QString needle =
        name.toLower().contains(QStringLiteral("vibe")) ? QStringLiteral("vibe-island") : QStringLiteral("island");
    MaybeErr error;
    switch (from) {
    case Vorlix::Source::claude:
        error = stripHooks(claudeSettings, needle);
        if (!error)
            error = stripStatusLine(claudeSettings, needle);
        break;
    case Vorlix::Source::codex:
        error = stripHooks(codexHooksFile, needle);
        break;
    case Vorlix::Source::grok:
        QFile::remove(absolute(grokVibeIslandFile));
        break;
    case Vorlix::Source::kiro:
        break;
    }
    setLastMessage(error ? QStringLiteral("Failed: ") + error->description()
                         : QStringLiteral("Removed %1's hooks from %2.").arg(name, raw(from)));
    refresh();
}

Installer::Status Installer::claudeStatus() const {
    return jsonHooksStatus(QStringLiteral(".claude"), claudeSettings);
}

Installer::Status Installer::codexStatus() const {
    return jsonHooksStatus(QStringLiteral(".codex"), codexHooksFile);
}

Installer::Status Installer::grokStatus() const {
    if (!QFileInfo::exists(absolute(QStringLiteral(".grok"))))
        return Status::notFound();
    if (QFileInfo::exists(absolute(grokOurFile)))
        return Status::installed();
    if (QFileInfo::exists(absolute(grokVibeIslandFile)))
        return Status::conflict(QStringLiteral("Vibe Island"));
    return Status::notInstalled();
}

Installer::Status Installer::jsonHooksStatus(const QString& configDir, const QString& file) const {
    if (!QFileInfo::exists(absolute(configDir)))
        return Status::notFound();
    const std::optional<HookConfig::json> root = readObject(file);
    if (!root)
        return Status::notInstalled();
    const auto hooks = root->find("hooks");
    const HookConfig::Scan scan = hooks == root->end() ? HookConfig::Scan{} : HookConfig::scan(*hooks);
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
        return Err{QStringLiteral("Bridge binary missing from the app bundle.")};
    const QString binDir = absolute(QStringLiteral(".vorlix-agents/bin"));
    if (MaybeErr error = makePath(binDir))
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

Installer::MaybeErr Installer::mergeHooks(const QString& path, const HookConfig::json& add) {
    if (MaybeErr error = backup(path))
        return error;
    const Err refused{path + QStringLiteral(" isn't valid JSON — refusing to overwrite it.")};
    HookConfig::json root = HookConfig::json::object();
    const FileIO::ReadResult file = FileIO::read(absolute(path));
    if (file.status == FileIO::ReadStatus::unreadable)
        return refused;
    if (file.status == FileIO::ReadStatus::ok) {
        std::optional<HookConfig::json> parsed = HookConfig::parseObject(view(file.data));
        if (!parsed)
            return refused;
        root = std::move(*parsed);
    }
    std::optional<HookConfig::json> merged = HookConfig::merge(std::move(root), add);
    if (!merged)
        return refused;
    return write(*merged, path);
}

Installer::MaybeErr Installer::writeGrokFile() {
    if (MaybeErr error = backup(grokOurFile))
        return error;
    if (MaybeErr error = write(HookConfig::json{{"hooks", HookConfig::grokHooks(homeUtf8())}}, grokOurFile))
        return error;
    disableGrokClaudeCompat();
    return std::nullopt;
}

void Installer::disableGrokClaudeCompat() {
    const QString path = absolute(grokConfig);
    const FileIO::ReadResult file = FileIO::read(path);
    // A config we cannot read would be replaced by the block alone.
    if (file.status == FileIO::ReadStatus::unreadable) {
        Log::line(QStringLiteral("Could not read %1; left it unchanged").arg(path));
        return;
    }
    // Bytes, not text: whatever the file holds is written back exactly.
    QByteArray text = file.data;
    if (text.contains("[compat.claude]"))
        return;
    if (!text.isEmpty() && !text.endsWith('\n'))
        text += '\n';
    text += "\n[compat.claude]\nhooks = false\n";
    QString error;
    if (!FileIO::writeAtomically(path, text, &error))
        Log::line(QStringLiteral("Could not write %1: %2").arg(path, error));
}

Installer::MaybeErr Installer::stripHooks(const QString& path, const QString& needle) {
    std::optional<HookConfig::json> root = readObject(path);
    if (!root)
        return std::nullopt;
    // A "hooks" member that is not an object is left alone, like a file that is not JSON.
    std::optional<HookConfig::json> stripped = HookConfig::strip(std::move(*root), needle.toStdString());
    if (!stripped)
        return std::nullopt;
    if (MaybeErr error = backup(path))
        return error;
    return write(*stripped, path);
}

Installer::MaybeErr Installer::stripStatusLine(const QString& path, const QString& needle) {
    std::optional<HookConfig::json> root = readObject(path);
    if (!root || !HookConfig::stripStatusLine(*root, needle.toStdString()))
        return std::nullopt;
    return write(*root, path);
}

Installer::MaybeErr Installer::backup(const QString& path) {
    const QString source = absolute(path);
    if (!QFileInfo::exists(source))
        return std::nullopt;
    const QString stamp = m_clock.now().toUTC().toString(QStringLiteral("yyyy-MM-dd'T'HH-mm-ss'Z'"));
    const QString folder = absolute(QStringLiteral(".vorlix-agents/backups/") + stamp);
    if (MaybeErr error = makePath(folder))
        return error;
    QString flat = path;
    flat.replace(QLatin1Char('/'), QLatin1Char('_'));
    // An earlier copy from the same second is kept: it holds the older content.
    QFile::copy(source, folder + QLatin1Char('/') + flat);
    return std::nullopt;
}

Installer::MaybeErr Installer::write(const HookConfig::json& root, const QString& path) {
    const std::string text = HookConfig::serialize(root);
    QString error;
    if (!FileIO::writeAtomically(absolute(path), QByteArray::fromStdString(text), &error))
        return Err{QStringLiteral("Could not write %1: %2").arg(path, error)};
    return std::nullopt;
}

std::optional<HookConfig::json> Installer::readObject(const QString& path) const {
    const FileIO::ReadResult file = FileIO::read(absolute(path));
    if (file.status != FileIO::ReadStatus::ok)
        return std::nullopt;
    return HookConfig::parseObject(view(file.data));
}
