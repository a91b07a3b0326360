#include "sessions/SessionStore.h"

#include "sessions/GateDetail.h"
#include "support/Log.h"
#include "support/VisibleText.h"

#include <QSet>
#include <algorithm>
#include <unicode/brkiter.h>
#include <unicode/unistr.h>

using Vorlix::Behavior;
using Vorlix::Canonical;

namespace {
QString toQString(const std::optional<std::string>& text, const QString& fallback) {
    return text ? QString::fromStdString(*text) : fallback;
}

QString detailOf(const Vorlix::Event& event) {
    return GateDetail::text(event.toolName ? QString::fromStdString(*event.toolName) : QString(), event.toolInput);
}

// The call's input as compact JSON with sorted keys: equal inputs give equal text.
std::string inputOf(const Vorlix::Event& event) {
    return event.toolInput ? event.toolInput->dump() : std::string();
}

// Agents without a canonical name for it still send their own; it reports the very call as over.
bool isToolFailure(const Vorlix::Event& event) {
    return QString::fromStdString(event.rawEvent)
               .remove(QLatin1Char('_'))
               .compare(QLatin1String("posttoolusefailure"), Qt::CaseInsensitive) == 0;
}
} // namespace

SessionStore::SessionStore(const Clock& clock, QObject* parent) : QObject(parent), m_clock(clock) {}

SessionStore::~SessionStore() {
    qDeleteAll(m_gates);
    qDeleteAll(m_sessions);
}

Session* SessionStore::sessionWithId(const QString& id) const {
    for (Session* session : m_sessions) {
        if (session->id() == id)
            return session;
    }
    return nullptr;
}

void SessionStore::setPolicy(GatePolicy* policy) {
    m_policy = policy != nullptr ? policy : &m_neutralPolicy;
}

RiskVerdict SessionStore::assess(const QString& tool, const QString& detail, const std::optional<QString>& cwd) const {
    return m_policy->assess(tool, detail, cwd);
}

Gate* SessionStore::gateWithId(const QString& id) const {
    for (Gate* gate : m_gates) {
        if (gate->id() == id)
            return gate;
    }
    return nullptr;
}

QStringList SessionStore::conflicts() const {
    QSet<QString> seen;
    QSet<QString> shared;
    for (const Session* session : m_sessions) {
        if (session->state() == SpriteKind::done)
            continue;
        const QString project = session->project();
        if (seen.contains(project))
            shared.insert(project);
        seen.insert(project);
    }
    QStringList names(shared.begin(), shared.end());
    names.sort();
    return names;
}

std::optional<SessionStore::ActiveGate> SessionStore::activeGate() const {
    if (m_gates.isEmpty())
        return std::nullopt;
    Gate* gate = m_gates.first();
    Session* session = sessionWithId(gate->sessionID());
    if (session == nullptr)
        return std::nullopt;
    return ActiveGate{session, gate};
}

Session* SessionStore::lookup(const Vorlix::Event& event) {
    const QString key = event.sessionID
                            ? QString::fromStdString(*event.sessionID)
                            : QString::fromUtf8(Vorlix::rawValue(event.source).data()) + QStringLiteral("-unknown");
    if (Session* session = sessionWithId(key)) {
        if (event.cwd)
            session->setCwd(QString::fromStdString(*event.cwd));
        if (event.transcriptPath)
            session->setTranscriptPath(QString::fromStdString(*event.transcriptPath));
        session->setLastSeen(m_clock.now());
        if (session->attention() == Session::Attention::denied)
            session->setAttention(Session::Attention::none);
        return session;
    }
    auto* session = new Session(key, event.source, toQString(event.cwd, QStringLiteral("~")), m_clock.now(), this);
    session->setTerminal(event.terminal);
    if (event.transcriptPath)
        session->setTranscriptPath(QString::fromStdString(*event.transcriptPath));
    m_sessions.append(session);
    emit sessionsChanged();
    return session;
}

bool SessionStore::hasGate(const QString& sessionID) const {
    return std::any_of(m_gates.begin(), m_gates.end(),
                       [&](const Gate* gate) { return gate->sessionID() == sessionID; });
}

void SessionStore::attend(Session* s, const Vorlix::Event& event) const {
    using Attention = Session::Attention;
    const QString message = toQString(event.message, QString());
    const std::string type = event.notificationType.value_or(std::string());
    switch (event.event) {
    case Canonical::userPromptSubmit:
    case Canonical::preToolUse:
    case Canonical::permissionRequest:
    // The call ran: whoever was asked in the terminal has answered.
    case Canonical::postToolUse:
        s->setAttention(Attention::none);
        break;
    case Canonical::stop:
        s->setAttention(Attention::finished, message);
        break;
    case Canonical::notification:
        // With a gate of ours open, the card is what waits; the agent's own dialog only mirrors it.
        if (type == "permission_prompt" && !hasGate(s->id())) {
            s->setAttention(Attention::waitingForYou, message);
            s->setActivity(QStringLiteral("Waiting for you"));
        } else if (type == "idle_prompt" && s->attention() != Attention::finished) {
            s->setAttention(Attention::waitingForInput, message);
            s->setActivity(QStringLiteral("Waiting for input"));
        } else if (type != "permission_prompt" && type != "idle_prompt") {
            s->setActivity(QStringLiteral("Notification"));
        }
        break;
    case Canonical::sessionStart:
    case Canonical::sessionEnd:
    case Canonical::other:
        break;
    }
}

void SessionStore::removeSessions(const std::function<bool(Session*)>& predicate) {
    bool removed = false;
    for (qsizetype i = 0; i < m_sessions.size();) {
        Session* session = m_sessions[i];
        if (!predicate(session)) {
            ++i;
            continue;
        }
        m_sessions.removeAt(i);
        m_sessionRules.endSession(session->id());
        // Views may still hold the pointer during this turn of the event loop.
        session->deleteLater();
        removed = true;
    }
    if (removed)
        emit sessionsChanged();
}

void SessionStore::show(Session* session, SpriteKind state, const QString& activity) {
    session->setState(state);
    session->setActivity(activity);
}

void SessionStore::show(Session* session, CallState state, const std::optional<QString>& tool) {
    if (!tool) {
        show(session, SpriteKind::thinking, QStringLiteral("Working"));
        return;
    }
    static const char* const verbs[] = {"Running ", "Ran ", "Blocked "};
    show(session, state == CallState::blocked ? SpriteKind::error : spriteFor(*tool),
         QLatin1String(verbs[static_cast<int>(state)]) + shortTool(*tool));
}

void SessionStore::record(Session* session, const QString& kind, const QString& tool, const QString& detail,
                          std::optional<int> risk, const QString& reason) {
    m_policy->record(AuditEntry{m_clock.now(), session->agent(), session->id(), session->project(), kind, tool, detail,
                                risk, reason});
}

void SessionStore::apply(const Vorlix::Event& event) {
    Session* s = lookup(event);
    const std::optional<QString> tool =
        event.toolName ? std::optional<QString>(QString::fromStdString(*event.toolName)) : std::nullopt;
    if (event.event == Canonical::postToolUse || isToolFailure(event)) {
        const std::string input = inputOf(event);
        closeMovedOn(s->id(),
                     [&](const Gate& gate) { return tool && gate.toolName() == *tool && gate.input() == input; });
    } else if (event.event == Canonical::stop || event.event == Canonical::userPromptSubmit ||
               event.event == Canonical::sessionEnd) {
        closeMovedOn(s->id(), [](const Gate&) { return true; });
    }
    attend(s, event);
    switch (event.event) {
    case Canonical::sessionStart:
        show(s, SpriteKind::idle, QStringLiteral("Session started"));
        break;
    case Canonical::userPromptSubmit:
        show(s, SpriteKind::thinking, QStringLiteral("Thinking"));
        break;
    case Canonical::preToolUse:
        show(s, CallState::running, tool);
        break;
    case Canonical::postToolUse:
        s->setToolCount(s->toolCount() + 1);
        show(s, CallState::ran, tool);
        record(s, QStringLiteral("tool"), tool.value_or(QStringLiteral("tool")), detailOf(event), std::nullopt);
        break;
    case Canonical::stop:
        if (s->state() != SpriteKind::done) {
            emit sessionDone(s->source());
        }
        show(s, SpriteKind::done, QStringLiteral("Done"));
        break;
    case Canonical::notification:
        break;
    case Canonical::sessionEnd: {
        const QString id = s->id();
        removeSessions([&](Session* candidate) { return candidate->id() == id; });
        break;
    }
    case Canonical::permissionRequest:
    case Canonical::other:
        break;
    }
}

void SessionStore::closeMovedOn(const QString& sessionID, const std::function<bool(const Gate&)>& answered) {
    const QList<Gate*> gates = m_gates;
    for (Gate* gate : gates) {
        if (gate->sessionID() != sessionID || !answered(*gate))
            continue;
        // The agent has its answer already: the waiting bridge is released with nothing to say.
        gate->box()->leaveToAgent();
        closeGate(gate, std::nullopt);
    }
}

void SessionStore::openGate(const Vorlix::Event& event, std::shared_ptr<GateBox> box) {
    Session* s = lookup(event);
    attend(s, event);
    const QString tool = toQString(event.toolName, QStringLiteral("tool"));
    const QString detail = planOr(s, tool, event);
    const std::optional<QString> cwd =
        event.cwd ? std::optional<QString>(QString::fromStdString(*event.cwd)) : std::nullopt;
    const RiskVerdict verdict = m_policy->assess(tool, detail, cwd);
    // A question or a plan is the person's own say: no rule or level can answer it for them.
    const bool personal = !GateDetail::askLabel(tool).isEmpty();

    if (const auto behavior = personal ? std::nullopt : m_policy->ruleDecision(tool, detail, verdict)) {
        if (!box->resolve({*behavior, std::string(ruleMessage)}))
            return; // its bridge left already
        const bool allowed = *behavior == Behavior::allow;
        show(s, allowed ? CallState::running : CallState::blocked, tool);
        if (!allowed)
            s->setAttention(Session::Attention::denied);
        record(s, allowed ? QStringLiteral("auto-allowed") : QStringLiteral("auto-denied"), tool, detail,
               rank(verdict.level));
        return;
    }

    if (!personal && answerBySessionRule(s, tool, detail, verdict, *box))
        return;

    if (!personal && m_policy->autoApproves(verdict)) {
        if (!box->resolve({Behavior::allow, std::string(policyMessage)}))
            return;
        show(s, CallState::running, tool);
        s->setToolCount(s->toolCount() + 1);
        record(s, QStringLiteral("auto-allowed"), tool, detail, rank(verdict.level));
        return;
    }

    if (!box->isOpen())
        return;
    if (!m_policy->personCanAnswer()) {
        // Holding the call would hang the agent until its own time-out: let it ask in its terminal.
        box->leaveToAgent();
        Log::line(QStringLiteral("Vorlix Agents: no panel or phone page can answer; %1 asks in its terminal (%2, "
                                 "session %3)")
                      .arg(s->agent(), tool, s->id()));
        return;
    }

    show(s, SpriteKind::needsApproval, QStringLiteral("Waiting on you"));
    auto* gate = new Gate(QString::fromStdString(event.id), s->id(), tool, detail, spriteFor(tool), verdict,
                          m_clock.now(), std::move(box), this);
    gate->setInput(inputOf(event));
    // A relative path is the agent's, from the folder the event was sent in.
    if (event.toolInput)
        gate->setChange(
            FileChange::from(tool, *event.toolInput, event.cwd ? QString::fromStdString(*event.cwd) : QString()));
    m_gates.append(gate);
    emit gatesChanged();
    emit gateOpened();
}

QString SessionStore::planOr(const Session* session, const QString& tool, const Vorlix::Event& event) const {
    if (!GateDetail::isPlan(tool) || GateDetail::hasPlan(event.toolInput) || !session->transcriptPath())
        return detailOf(event);
    const std::optional<QString> plan = m_policy->readPlan(*session->transcriptPath());
    return plan && !plan->trimmed().isEmpty() ? VisibleText::reveal(plan->trimmed()) : detailOf(event);
}

bool SessionStore::answerBySessionRule(Session* s, const QString& tool, const QString& detail,
                                       const RiskVerdict& verdict, GateBox& box) {
    if (!m_sessionRules.answers(s->id(), tool, detail, verdict))
        return false;
    if (!box.resolve({Behavior::allow, std::string(sessionRuleMessage)}))
        return true;
    show(s, CallState::running, tool);
    record(s, AuditKind::autoAllowed, tool, detail, rank(verdict.level), AuditReason::sessionRule);
    return true;
}

void SessionStore::closeGate(Gate* gate, std::optional<Behavior> behavior, const std::optional<QString>& recorded) {
    if (gate == nullptr || gateWithId(gate->id()) == nullptr)
        return;
    // Copy what we need: the gate object goes away below.
    const QString id = gate->id();
    const QString sessionID = gate->sessionID();
    const QString toolName = gate->toolName();
    const QString detail = recorded.value_or(gate->detail());
    const int risk = rank(gate->risk().level);

    for (qsizetype i = 0; i < m_gates.size();) {
        if (m_gates[i]->id() == id)
            m_gates.takeAt(i)->deleteLater();
        else
            ++i;
    }
    emit gatesChanged();

    Session* session = sessionWithId(sessionID);
    if (behavior) {
        emit gateDecided(*behavior);
        if (session != nullptr)
            record(session, *behavior == Behavior::allow ? QStringLiteral("approved") : QStringLiteral("denied"),
                   toolName, detail, risk);
    }
    if (session == nullptr)
        return;
    for (const Gate* other : m_gates) {
        if (other->sessionID() == sessionID)
            return;
    }
    if (!behavior)
        show(session, SpriteKind::thinking, QStringLiteral("Working"));
    else
        show(session, *behavior == Behavior::allow ? CallState::running : CallState::blocked, toolName);
    // Nothing waits any more: the row must not say "needs you" about a call the person turned down.
    if (behavior == Behavior::deny)
        session->setAttention(Session::Attention::denied);
}

void SessionStore::closeGate(const QString& id) {
    closeGate(gateWithId(id), std::nullopt);
}

bool SessionStore::decide(const QString& gateId, Behavior behavior, Surface surface) {
    Gate* gate = gateWithId(gateId);
    if (gate == nullptr)
        return false;
    std::optional<std::string> message;
    if (surface == Surface::phone)
        message = behavior == Behavior::allow ? phoneAllowMessage : phoneDenyMessage;
    Vorlix::Decision decision{behavior, message};
    // Claude takes a plan's approval only with the call's input given back; a bare allow still shows its dialog.
    if (behavior == Behavior::allow && GateDetail::isPlan(gate->toolName())) {
        const std::optional<JSONValue> input = JSONValue::parse(gate->input());
        decision.updatedInput = input && input->isObject() ? *input : JSONValue(JSONValue::Object{});
    }
    const bool delivered = gate->box()->resolve(decision);
    closeGate(gate, delivered ? std::optional(behavior) : std::nullopt);
    return delivered;
}

SessionStore::AnswerStatus SessionStore::answer(const QString& gateId, const QList<QuestionAnswer::Pick>& picks,
                                                QString* why) {
    Gate* gate = gateWithId(gateId);
    if (gate == nullptr) {
        if (why != nullptr)
            *why = QStringLiteral("that request is no longer waiting");
        return AnswerStatus::gone;
    }
    const std::optional<JSONValue> input = JSONValue::parse(gate->input());
    QuestionAnswer::Built built;
    if (!QuestionAnswer::isQuestion(gate->toolName()) || !input)
        built.error = QStringLiteral("that request is not a question");
    else
        built = QuestionAnswer::build(*input, picks);
    if (!built.updatedInput) {
        if (why != nullptr)
            *why = built.error;
        return AnswerStatus::invalid;
    }
    const bool delivered = gate->box()->resolve({Behavior::allow, std::nullopt, std::move(built.updatedInput)});
    closeGate(gate, delivered ? std::optional(Behavior::allow) : std::nullopt, built.chosen.join(QLatin1Char('\n')));
    if (!delivered && why != nullptr)
        *why = QStringLiteral("that request is no longer waiting");
    return delivered ? AnswerStatus::answered : AnswerStatus::gone;
}

bool SessionStore::leaveToTerminal(const QString& gateId) {
    Gate* gate = gateWithId(gateId);
    if (gate == nullptr)
        return false;
    gate->box()->leaveToAgent();
    closeGate(gate, std::nullopt);
    return true;
}

bool SessionStore::allowForSession(const QString& gateId, Surface surface) {
    const Gate* gate = gateWithId(gateId);
    if (gate == nullptr || !SessionRules::offered(gate->toolName(), gate->detail(), gate->risk()))
        return false;
    // Copied: deciding removes the gate.
    const QString sessionID = gate->sessionID();
    const QString tool = gate->toolName();
    const QString detail = gate->detail();
    const RiskVerdict verdict = gate->risk();
    if (!decide(gateId, Behavior::allow, surface))
        return false;
    // Everything runs on this thread: the agent's next call cannot arrive before the rule exists.
    if (const Session* session = sessionWithId(sessionID))
        m_sessionRules.add(sessionID, session->project(), tool, detail, verdict);
    return true;
}

void SessionStore::refreshContext() {
    for (Session* session : m_sessions) {
        if (!session->transcriptPath())
            continue;
        if (auto usage = m_policy->readContext(*session->transcriptPath(), contextLimit))
            session->setContext(usage);
    }
    const QDateTime now = m_clock.now();
    removeSessions([&](Session* session) {
        return session->state() == SpriteKind::done && session->lastSeen().msecsTo(now) > doneLingerSeconds * 1000;
    });
}

SpriteKind SessionStore::spriteFor(const QString& tool) {
    const QString name = tool.toLower();
    const auto hasAny = [&](std::initializer_list<const char*> parts) {
        for (const char* part : parts) {
            if (name.contains(QLatin1String(part)))
                return true;
        }
        return false;
    };
    if (hasAny({"plan"}))
        return SpriteKind::planReview;
    if (hasAny({"question", "ask"}))
        return SpriteKind::question;
    if (hasAny({"bash", "terminal", "shell", "exec"}))
        return SpriteKind::shell;
    if (hasAny({"write", "edit", "create"}))
        return SpriteKind::writing;
    if (hasAny({"read", "grep", "glob", "search"}))
        return SpriteKind::reading;
    return SpriteKind::needsApproval;
}

QString SessionStore::shortTool(const QString& name) {
    QString result = name;
    if (result.startsWith(QLatin1String("mcp__"))) {
        const QString last = result.split(QStringLiteral("__")).last();
        if (!last.isEmpty())
            result = last;
    }
    // Count user-perceived characters, not code units.
    const icu::UnicodeString text(reinterpret_cast<const UChar*>(result.utf16()), static_cast<int32_t>(result.size()));
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::BreakIterator> characters(
        icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
    if (U_FAILURE(status))
        return result.size() <= 16 ? result : result.left(15) + QChar(0x2026);
    characters->setText(text);
    int count = 0;
    int32_t cut = 0;
    for (int32_t boundary = characters->next(); boundary != icu::BreakIterator::DONE; boundary = characters->next()) {
        ++count;
        if (count == 15)
            cut = boundary;
        if (count > 16)
            return result.left(cut) + QChar(0x2026);
    }
    return result;
}
