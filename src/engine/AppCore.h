#pragma once

#include "audit/AuditLog.h"
#include "game/Achievement.h"
#include "game/Game.h"
#include "hookserver/Server.h"
#include "hookserver/SocketKeeper.h"
#include "installer/Installer.h"
#include "phone/RemoteApproval.h"
#include "prefs/Prefs.h"
#include "prefs/PrefsWatcher.h"
#include "risk/RuleStore.h"
#include "sessions/GatePolicy.h"
#include "sessions/SessionStore.h"
#include "support/ControlChannel.h"
#include "support/Cue.h"

#include <QObject>
#include <QTimer>
#include <memory>

/// The application's long-lived objects and every wire between them, shared by the headless mode and the
/// desktop. The desktop adds sound, windows and notifications by listening to the signals, never by
/// replacing a callback. It is the store's gate policy: rules, the auto-approve level, the journal.
class AppCore final : public QObject, public GatePolicy {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(AppCore)

public:
    struct Options {
        double gateTimeout = Server::gateTimeoutSeconds;
        quint16 phonePort = RemoteApproval::defaultPort;
        const Clock* clock = nullptr; // the system clock when null
    };

    explicit AppCore(QObject* parent = nullptr);
    explicit AppCore(Options options, QObject* parent = nullptr);
    ~AppCore() override;

    SessionStore& store() { return *m_store; }
    Installer& installer() { return *m_installer; }
    Prefs& prefs() { return *m_prefs; }
    RuleStore& rules() { return *m_rules; }
    AuditLog& auditLog() { return *m_auditLog; }
    RemoteApproval& remote() { return *m_remote; }
    Game& game() { return *m_game; }
    Server* server() { return m_server.get(); }
    /// Where a second start asks this one to open its settings window; listening once the hook socket is ours.
    ControlChannel& control() { return m_control; }

    /// Timers, wiring, phone server, start-up cue, socket server and the "up" line. Runs its body once.
    void start(bool notch, double notchWidth, double notchHeight, double screenWidth);
    /// The desktop says whether its panel is up to show approval cards. Headless, nobody calls it.
    void setPanelUp(bool up);
    /// The panel is up or the phone page is listening: a person's gate can wait for an answer. Otherwise
    /// such a gate gets no decision at once, so the agent asks in its own terminal instead of hanging.
    bool personCanAnswer() const override;
    std::optional<Vorlix::Behavior> ruleDecision(const QString& tool, const QString& detail,
                                                 const RiskVerdict& verdict) const override;
    bool autoApproves(const RiskVerdict& verdict) const override;
    void record(const AuditEntry& entry) override { onAudit(entry); }
    /// On quit: close the listening socket and delete the socket file (when it is still ours).
    void shutdown();
    /// What becomes of each audit entry: journal, then the game's checks.
    void onAudit(const AuditEntry& entry);

signals:
    /// A cue to play; only emitted while sound is on.
    void cue(Cue cue);
    /// After the achievement's cue: the desktop posts the notification.
    void achievementUnlocked(const Achievement& achievement);

private:
    void play(Cue cue);

    const Clock& m_clock;
    Options m_options;
    std::unique_ptr<SessionStore> m_store;
    std::unique_ptr<Installer> m_installer;
    std::unique_ptr<Prefs> m_prefs;
    std::unique_ptr<RuleStore> m_rules;
    std::unique_ptr<AuditLog> m_auditLog;
    std::unique_ptr<RemoteApproval> m_remote;
    std::unique_ptr<Game> m_game;
    std::unique_ptr<Server> m_server;
    std::unique_ptr<SocketKeeper> m_socketKeeper;
    ControlChannel m_control;
    std::unique_ptr<PrefsWatcher> m_prefsWatcher;
    QTimer m_refreshTimer;
    bool m_started = false;
    bool m_panelUp = false;
};
