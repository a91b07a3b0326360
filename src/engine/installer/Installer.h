#pragma once

#include "Source.h"
#include "installer/HookConfig.h"
#include "support/AppPaths.h"
#include "support/Clock.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <optional>

/// Wires the coding agents on this machine to the bridge and unwires them again, keeping everybody else's
/// hooks, the shape of their files and a backup of every file before it changes. Confined to the main thread;
/// every operation is synchronous, and none can block: an agent's file is read only when it is a regular file,
/// opened without blocking. All relative paths below are under the home directory given at construction.
class Installer final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Installer)
    Q_PROPERTY(QList<Installer::Agent> agents READ agents NOTIFY agentsChanged)
    Q_PROPERTY(QString lastMessage READ lastMessage NOTIFY lastMessageChanged)
    Q_PROPERTY(QString home READ home CONSTANT)

public:
    class Status {
    public:
        enum class Kind { conflict, unsupported, notFound, notInstalled, installed, awaitingTrust };

        static Status conflict(QString name) { return {Kind::conflict, std::move(name)}; }
        static Status unsupported(QString reason) { return {Kind::unsupported, std::move(reason)}; }
        static Status notFound() { return {Kind::notFound, {}}; }
        static Status notInstalled() { return {Kind::notInstalled, {}}; }
        static Status installed() { return {Kind::installed, {}}; }
        /// Our hooks are in Codex's file, but Codex runs none of them until the person trusts them.
        static Status awaitingTrust() { return {Kind::awaitingTrust, {}}; }

        Kind kind() const { return m_kind; }
        /// The owner's name of a conflict, the reason of an unsupported agent; empty otherwise.
        const QString& detail() const { return m_detail; }
        /// The words the agent rows show: "watching", "hooks not installed", ...
        QString statusText() const;
        bool operator==(const Status&) const = default;

    private:
        Status(Kind kind, QString detail) : m_kind(kind), m_detail(std::move(detail)) {}
        Kind m_kind;
        QString m_detail;
    };

    struct Agent {
        Vorlix::Source id = Vorlix::Source::claude;
        QString name;
        QString configDir;
        Status status = Status::notFound();
        bool operator==(const Agent&) const = default;
    };

    struct Err {
        QString msg;
        /// Nothing went wrong, there was only nothing to do; the message carries no "Failed: ".
        bool nothingToDo = false;
        const QString& description() const { return msg; }
    };
    /// Nothing on success.
    using MaybeErr = std::optional<Err>;

    /// The clock names the backup folders; it must outlive the installer.
    explicit Installer(QString home = AppPaths::home(), QString bridgeSource = defaultBridgeSource(),
                       const Clock& clock = Clock::system(), QObject* parent = nullptr);

    /// The bridge shipped beside the application's executable.
    static QString defaultBridgeSource();

    const QList<Agent>& agents() const { return m_agents; }
    /// The agent's status as last refreshed (not found when it has no row).
    Status status(Vorlix::Source source) const;
    /// The outcome of the last install, uninstall or evict; empty until there was one.
    const QString& lastMessage() const { return m_lastMessage; }
    const QString& home() const { return m_home; }

    /// Re-probes the three agents (Claude Code, Codex, Grok; Kiro has no row).
    void refresh();
    /// Where an agent appearing or its files changing shows: the home folder, the agents' folders and files.
    QStringList watchedPaths() const;
    /// Whether the agent's folder exists or its program is on PATH.
    bool isOnMachine(Vorlix::Source source) const;

    // Each sets lastMessage, refreshes the rows and returns its failure, if any; having nothing to do counts as
    // one, and leaves every file as it was.
    /// Refuses an agent that is not on this machine unless forced.
    MaybeErr install(Vorlix::Source source, bool force = false);
    MaybeErr uninstall(Vorlix::Source source);
    /// Removes a foreign tool's hooks ("Vibe Island", "another notch app") from one agent.
    MaybeErr evict(const QString& name, Vorlix::Source from);

    Status claudeStatus() const;
    Status codexStatus() const;
    Status grokStatus() const;

signals:
    void agentsChanged();
    void lastMessageChanged();

private:
    /// An agent's JSON file as read: absent, or its bytes and what they hold.
    struct Loaded {
        bool exists = false;
        QByteArray bytes;
        JsonShape::Read json;
    };

    QString absolute(const QString& relative) const { return m_home + QLatin1Char('/') + relative; }
    std::string homeUtf8() const { return m_home.toStdString(); }
    void setLastMessage(const QString& message);
    MaybeErr finish(MaybeErr error, const QString& done);
    Status jsonHooksStatus(Vorlix::Source source, const QString& file) const;

    MaybeErr stageBridge();
    MaybeErr mergeHooks(const QString& path, const HookConfig::json& add, bool* wrote = nullptr);
    MaybeErr writeGrokFile();
    /// Strips entries whose command holds the needle (and a matching status line when asked); `nothing` is the
    /// message when none did.
    MaybeErr stripHooks(const QString& path, const QString& needle, bool statusLine, const QString& nothing);
    MaybeErr removeFile(const QString& path, const QString& nothing);
    /// Writes the value in the file's shape, after a backup of what was there; an unchanged file is not touched
    /// (*wrote tells which).
    MaybeErr replace(const QString& path, const Loaded& file, const HookConfig::json& value, bool* wrote = nullptr);
    MaybeErr backup(const QString& path, const QByteArray& bytes);
    /// What Grok's config.toml needs, done where it can be; the note for the person otherwise.
    QString disableGrokClaudeCompat();
    /// The file's bytes, read without blocking; an error when it is there but not a regular file or unreadable.
    MaybeErr loadBytes(const QString& path, Loaded& file) const;
    /// The same, parsed as a JSON object; also an error when it is not JSON we can keep, or not an object.
    MaybeErr load(const QString& path, Loaded& file) const;

    const QString m_home;
    const QString m_bridgeSource;
    const Clock& m_clock;
    QList<Agent> m_agents;
    QString m_lastMessage;
};
