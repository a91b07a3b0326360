#pragma once

#include "Decision.h"
#include "Event.h"
#include "audit/AuditEntry.h"
#include "hookserver/Gate.h"
#include "risk/Risk.h"
#include "sessions/ContextUsage.h"
#include "sessions/Session.h"
#include "support/Clock.h"

#include <QList>
#include <QObject>
#include <QStringList>
#include <QTimer>
#include <functional>
#include <memory>
#include <optional>

/// The live sessions and the queue of open approval gates; every agent event is fed in here, on the main thread.
class SessionStore final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SessionStore)

public:
    struct ActiveGate {
        Session* session;
        Gate* gate;
    };

    static constexpr qint64 contextLimit = 200000;
    static constexpr double doneLingerSeconds = 25.0;

    static constexpr const char* ruleMessage = "Vorlix Agents: matched your rule";
    static constexpr const char* policyMessage = "Vorlix Agents: auto-approved (safe)";
    static constexpr const char* phoneAllowMessage = "Vorlix Agents: approved from your phone";
    static constexpr const char* phoneDenyMessage = "Vorlix Agents: denied from your phone";

    explicit SessionStore(const Clock& clock = Clock::system(), QObject* parent = nullptr);
    ~SessionStore() override;

    const QList<Session*>& sessions() const { return m_sessions; }
    const QList<Gate*>& gates() const { return m_gates; }
    Session* sessionWithId(const QString& id) const;
    Gate* gateWithId(const QString& id) const;

    /// Project names shared by two or more sessions that are not done, sorted, each once.
    QStringList conflicts() const;
    /// The first gate with its session; absent when there is none or that session is gone.
    std::optional<ActiveGate> activeGate() const;

    void apply(const Vorlix::Event& event);
    void openGate(const Vorlix::Event& event, std::shared_ptr<GateBox> box);
    /// After the server's wait returned: closes the gate, if still open, without a decision.
    void closeGate(const QString& id);
    void closeGate(Gate* gate, std::optional<Vorlix::Behavior> behavior);
    /// A decision from the phone page. A gate whose bridge left meanwhile just goes: no sound, no record.
    void resolveRemotely(const QString& id, Vorlix::Behavior behavior);
    /// A decision on the panel's card: no message travels to the agent. Same rule for a bridge that left.
    void decideOnCard(Gate* gate, Vorlix::Behavior behavior);
    /// Context refresh and pruning of finished sessions; the shell calls it every 2 s.
    void refreshContext();

    static SpriteKind spriteFor(const QString& tool);
    static QString shortTool(const QString& name);

    // Set once by the application shell; each is optional.
    std::function<void()> onGateOpened;
    std::function<void(Vorlix::Behavior)> onGateClosed;
    std::function<void()> onSessionDone;
    std::function<std::optional<Vorlix::Behavior>(const QString& tool, const QString& detail)> autoDecide;
    std::function<void(const AuditEntry&)> audit;
    std::function<bool(const RiskVerdict&)> shouldAutoApprove;
    std::function<void()> onWorkFlowed;
    /// Whether the panel or the phone page could put a question to the person now. When it says no, a call
    /// that no rule or policy answered gets no decision, so the agent asks in its own terminal. Unset: yes.
    std::function<bool()> surfaceCanAnswer;

    // Swappable for tests: how a call is rated and how a transcript is read.
    std::function<RiskVerdict(const QString& tool, const QString& detail, const std::optional<QString>& cwd)> assess;
    std::function<std::optional<ContextUsage>(const QString& transcript, qint64 limit)> readContext;

signals:
    void sessionsChanged();
    void gatesChanged();
    /// A session finished; the panel runs its victory lap.
    void celebrated(Vorlix::Source source);

private:
    Session* lookup(const Vorlix::Event& event);
    void removeSessions(const std::function<bool(Session*)>& predicate);
    void record(Session* session, const QString& kind, const QString& tool, const QString& detail,
                std::optional<int> risk);

    const Clock& m_clock;
    QList<Session*> m_sessions;
    QList<Gate*> m_gates;
};
