#pragma once

#include "Decision.h"
#include "Event.h"
#include "audit/AuditEntry.h"
#include "hookserver/Gate.h"
#include "risk/Risk.h"
#include "sessions/GatePolicy.h"
#include "sessions/QuestionAnswer.h"
#include "sessions/Session.h"
#include "sessions/SessionRules.h"
#include "support/Clock.h"

#include <QList>
#include <QObject>
#include <QStringList>
#include <QTimer>
#include <functional>
#include <memory>
#include <optional>

/// The live sessions and the queue of open approval gates; every agent event is fed in here, on the main thread.
/// What it cannot decide alone it asks its GatePolicy; what others react to it says with signals.
class SessionStore final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SessionStore)

public:
    struct ActiveGate {
        Session* session;
        Gate* gate;
    };

    /// Where a person's decision was made. Only the phone's answer carries a message to the agent.
    enum class Surface { card, notification, phone };

    static constexpr qint64 contextLimit = 200000;
    static constexpr double doneLingerSeconds = 25.0;

    static constexpr const char* ruleMessage = "Vorlix Agents: matched your rule";
    static constexpr const char* sessionRuleMessage = "Vorlix Agents: allowed for this session";
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

    /// Every answer defaults to the neutral policy's; the policy must outlive the store or be unset first.
    void setPolicy(GatePolicy* policy);
    RiskVerdict assess(const QString& tool, const QString& detail, const std::optional<QString>& cwd) const;

    /// An agent's event. It also sets what the session asks of the person: Claude's permission prompt with no gate
    /// of ours open is "waiting for you", its idle prompt "waiting for input" (not after a finished turn: the person
    /// was told already), a stop "finished" with the last assistant message; the session's next prompt, tool call
    /// or permission request clears them, and any next event clears a "denied". A gate closes unanswered once its
    /// session has moved on: the very call's post-tool-use (same tool and input), or the session's stop, next prompt or
    /// end. Agents run calls side by side, so other calls' events leave it open.
    void apply(const Vorlix::Event& event);
    void openGate(const Vorlix::Event& event, std::shared_ptr<GateBox> box);
    /// After the server's wait returned: closes the gate, if still open, without a decision.
    void closeGate(const QString& id);
    /// A person's decision from any surface. False when the gate is no longer open (answered, moved on, its bridge
    /// gone): then nothing is sent, recorded or sounded.
    bool decide(const QString& gateId, Vorlix::Behavior behavior, Surface surface);
    enum class AnswerStatus { answered, invalid, gone };
    /// A person's answer to a question gate: the picks, checked against the gate's own input, become an allow with
    /// that input and its answers. Invalid picks, or a gate that is no question, decide nothing; `why` says why.
    AnswerStatus answer(const QString& gateId, const QList<QuestionAnswer::Pick>& picks, QString* why = nullptr);
    /// "Answer in the terminal": the gate closes with no decision, so the agent shows its own dialog. False when
    /// the gate is no longer open.
    bool leaveToTerminal(const QString& gateId);
    /// "Allow for this session": allows the gate and, once the agent has the answer, lets a session rule answer
    /// the session's later calls with the same key. False, deciding nothing, when the call may not have one or the
    /// gate is no longer open.
    bool allowForSession(const QString& gateId, Surface surface);
    SessionRules& sessionRules() { return m_sessionRules; }
    /// Context refresh and pruning of finished sessions; the shell calls it every 2 s.
    void refreshContext();

    static SpriteKind spriteFor(const QString& tool);
    static QString shortTool(const QString& name);

signals:
    void sessionsChanged();
    void gatesChanged();
    /// A gate now waits for a person.
    void gateOpened();
    /// A person's decision reached the agent.
    void gateDecided(Vorlix::Behavior behavior);
    /// A session finished its turn (once per turn); the panel runs its victory lap.
    void sessionDone(Vorlix::Source source);

private:
    enum class CallState { running, ran, blocked };

    Session* lookup(const Vorlix::Event& event);
    void attend(Session* session, const Vorlix::Event& event) const;
    bool hasGate(const QString& sessionID) const;
    static void show(Session* session, SpriteKind state, const QString& activity);
    static void show(Session* session, CallState state, const std::optional<QString>& tool);
    /// recorded: what the journal keeps in place of the gate's detail.
    void closeGate(Gate* gate, std::optional<Vorlix::Behavior> behavior,
                   const std::optional<QString>& recorded = std::nullopt);
    /// The detail of a call; for a plan without its text, the plan file named in the session's transcript.
    QString planOr(const Session* session, const QString& tool, const Vorlix::Event& event) const;
    /// Closes, unanswered, the session's gates that match: the agent has answered them itself.
    void closeMovedOn(const QString& sessionID, const std::function<bool(const Gate&)>& answered);
    void removeSessions(const std::function<bool(Session*)>& predicate);
    void record(Session* session, const QString& kind, const QString& tool, const QString& detail,
                std::optional<int> risk, const QString& reason = {});
    /// Answers the call when one of its session's rules does; true when nothing more is to be done with it.
    bool answerBySessionRule(Session* session, const QString& tool, const QString& detail, const RiskVerdict& verdict,
                             GateBox& box);

    const Clock& m_clock;
    GatePolicy m_neutralPolicy;
    GatePolicy* m_policy = &m_neutralPolicy;
    QList<Session*> m_sessions;
    QList<Gate*> m_gates;
    SessionRules m_sessionRules;
};
