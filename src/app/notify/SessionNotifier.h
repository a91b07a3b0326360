#pragma once

#include "TerminalContext.h"
#include "notify/NotificationCenter.h"
#include "sessions/WatchedSessions.h"
#include "terminal/TerminalJump.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <functional>
#include <optional>

class Prefs;
class Session;
class SessionStore;

/// Desktop notifications for sessions that wait in their own terminal or have finished their turn: one per
/// session, replaced rather than stacked, withdrawn when the session carries on. Its default action and "Open"
/// take the person to the session's terminal; when nothing can be brought forward, a notification says so.
class SessionNotifier final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SessionNotifier)

public:
    using Jump = std::function<TerminalJump::Result(const std::optional<Vorlix::TerminalContext>&)>;

    static constexpr qsizetype bodyLimit = 200;

    SessionNotifier(SessionStore& store, NotificationCenter& center, const Prefs& prefs, Jump jump,
                    QObject* parent = nullptr);
    /// Withdraws what is still shown: its action would reach nobody.
    ~SessionNotifier() override;

    /// "shop — Claude Code is waiting for you", "shop — Claude Code finished"; empty when the session asks nothing.
    static QString summary(const Session& session);
    /// The agent's own words, at most bodyLimit characters.
    static QString body(const Session& session);

private:
    struct Shown {
        uint id = 0;
        bool inFlight = false;
        bool withdraw = false;
        std::optional<NotificationCenter::Notice> next;
        std::optional<Vorlix::TerminalContext> terminal;
        QString who;
    };

    void watchSessions();
    void update(const Session& session);
    bool wanted(const Session& session) const;
    void post(const QString& sessionId, NotificationCenter::Notice notice);
    void onPosted(const QString& sessionId, uint id);
    void onAction(uint id, const QString& key);
    void onClosed(uint id);

    SessionStore& m_store;
    NotificationCenter& m_center;
    const Prefs& m_prefs;
    Jump m_jump;
    WatchedSessions m_watched;
    QHash<QString, Shown> m_shown; // by session id: a session pruned and heard from again is the same one
};
