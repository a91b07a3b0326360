#pragma once

#include "Source.h"
#include "TerminalContext.h"
#include "sessions/ContextUsage.h"
#include "sessions/SpriteKind.h"

#include <QDateTime>
#include <QObject>
#include <QString>
#include <optional>

/// The live picture of one agent conversation. Created and changed only by the session store, on the main thread.
class Session final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Session)
    Q_PROPERTY(QString id READ id CONSTANT)
    Q_PROPERTY(QString cwd READ cwd WRITE setCwd NOTIFY cwdChanged)
    Q_PROPERTY(QString activity READ activity WRITE setActivity NOTIFY activityChanged)
    Q_PROPERTY(qint64 toolCount READ toolCount WRITE setToolCount NOTIFY toolCountChanged)
    Q_PROPERTY(QDateTime startedAt READ startedAt CONSTANT)
    Q_PROPERTY(QDateTime lastSeen READ lastSeen WRITE setLastSeen NOTIFY lastSeenChanged)

public:
    /// What the session asks of the person beyond its activity: nothing, an answer in its own terminal, a new
    /// prompt, a look at a finished turn, or (after a Deny) nothing more, until its next event.
    enum class Attention { none, waitingForYou, waitingForInput, finished, denied };

    Session(QString id, Vorlix::Source source, QString cwd, QDateTime now, QObject* parent = nullptr);

    const QString& id() const { return m_id; }
    Vorlix::Source source() const { return m_source; }
    /// "claude", "codex", "grok" or "kiro": the agent name used in records.
    QString agent() const;
    const QString& cwd() const { return m_cwd; }
    SpriteKind state() const { return m_state; }
    const QString& activity() const { return m_activity; }
    qint64 toolCount() const { return m_toolCount; }
    const QDateTime& startedAt() const { return m_startedAt; }
    const QDateTime& lastSeen() const { return m_lastSeen; }
    const std::optional<Vorlix::TerminalContext>& terminal() const { return m_terminal; }
    const std::optional<QString>& transcriptPath() const { return m_transcriptPath; }
    const std::optional<ContextUsage>& context() const { return m_context; }
    Attention attention() const { return m_attention; }
    /// The agent's own words with the attention: its notification, or its last message of a finished turn.
    const QString& agentMessage() const { return m_agentMessage; }

    void setCwd(const QString& cwd);
    void setState(SpriteKind state);
    void setActivity(const QString& activity);
    void setToolCount(qint64 count);
    void setLastSeen(const QDateTime& t);
    void setTerminal(const std::optional<Vorlix::TerminalContext>& terminal);
    void setTranscriptPath(const std::optional<QString>& path);
    void setContext(const std::optional<ContextUsage>& context);
    /// Both at once, notifying once: the message belongs to the attention.
    void setAttention(Attention attention, const QString& message = {});

    /// The last path component of cwd ("~" stays "~", a trailing "/" is ignored).
    QString project() const { return projectName(m_cwd); }
    static QString projectName(const QString& cwd);
    /// "42s", "2m 5s", "62m 5s" for the time since startedAt.
    QString elapsed(const QDateTime& now) const;
    static QString elapsedText(qint64 seconds);

signals:
    void cwdChanged();
    void stateChanged();
    void activityChanged();
    void toolCountChanged();
    void lastSeenChanged();
    void terminalChanged();
    void transcriptPathChanged();
    void contextChanged();
    void attentionChanged();

private:
    const QString m_id;
    const Vorlix::Source m_source;
    QString m_cwd;
    SpriteKind m_state = SpriteKind::idle;
    QString m_activity;
    qint64 m_toolCount = 0;
    const QDateTime m_startedAt;
    QDateTime m_lastSeen;
    std::optional<Vorlix::TerminalContext> m_terminal;
    std::optional<QString> m_transcriptPath;
    std::optional<ContextUsage> m_context;
    Attention m_attention = Attention::none;
    QString m_agentMessage;
};
