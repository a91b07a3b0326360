#include "sessions/SessionStore.h"

#include "risk/RiskEngine.h"
#include "sessions/ContextMeter.h"
#include "sessions/GateDetail.h"
#include "support/Log.h"

#include <QSet>
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
} // namespace

SessionStore::SessionStore(const Clock& clock, QObject* parent) : QObject(parent), m_clock(clock) {
    assess = [](const QString& tool, const QString& detail, const std::optional<QString>& cwd) {
        return RiskEngine::assess(tool, detail, cwd);
    };
    readContext = [](const QString& transcript, qint64 limit) { return ContextMeter::read(transcript, limit); };
}

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

void SessionStore::removeSessions(const std::function<bool(Session*)>& predicate) {
    bool removed = false;
    for (qsizetype i = 0; i < m_sessions.size();) {
        Session* session = m_sessions[i];
        if (!predicate(session)) {
            ++i;
            continue;
        }
        m_sessions.removeAt(i);
        // Views may still hold the pointer during this turn of the event loop.
        session->deleteLater();
        removed = true;
    }
    if (removed)
        emit sessionsChanged();
}

void SessionStore::record(Session* session, const QString& kind, const QString& tool, const QString& detail,
                          std::optional<int> risk) {
    if (!audit)
        return;
    audit(AuditEntry{m_clock.now(), session->agent(), session->id(), session->project(), kind, tool, detail, risk});
}

void SessionStore::apply(const Vorlix::Event& event) {
    Session* s = lookup(event);
    const std::optional<QString> tool =
        event.toolName ? std::optional<QString>(QString::fromStdString(*event.toolName)) : std::nullopt;
    switch (event.event) {
    case Canonical::sessionStart:
        s->setState(SpriteKind::idle);
        s->setActivity(QStringLiteral("Session started"));
        break;
    case Canonical::userPromptSubmit:
        s->setState(SpriteKind::thinking);
        s->setActivity(QStringLiteral("Thinking"));
        break;
    case Canonical::preToolUse:
        if (tool) {
            s->setState(spriteFor(*tool));
            s->setActivity(QStringLiteral("Running ") + shortTool(*tool));
        } else {
            s->setState(SpriteKind::thinking);
            s->setActivity(QStringLiteral("Working"));
        }
        break;
    case Canonical::postToolUse:
        s->setToolCount(s->toolCount() + 1);
        if (tool) {
            s->setState(spriteFor(*tool));
            s->setActivity(QStringLiteral("Ran ") + shortTool(*tool));
        } else {
            s->setState(SpriteKind::thinking);
            s->setActivity(QStringLiteral("Working"));
        }
        record(s, QStringLiteral("tool"), tool.value_or(QStringLiteral("tool")), detailOf(event), std::nullopt);
        break;
    case Canonical::stop:
        if (s->state() != SpriteKind::done) {
            if (onSessionDone)
                onSessionDone();
            emit celebrated(s->source());
        }
        s->setState(SpriteKind::done);
        s->setActivity(QStringLiteral("Done"));
        break;
    case Canonical::notification:
        s->setActivity(QStringLiteral("Notification"));
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

void SessionStore::openGate(const Vorlix::Event& event, std::shared_ptr<GateBox> box) {
    Session* s = lookup(event);
    const QString tool = toQString(event.toolName, QStringLiteral("tool"));
    const QString detail = detailOf(event);
    const std::optional<QString> cwd =
        event.cwd ? std::optional<QString>(QString::fromStdString(*event.cwd)) : std::nullopt;
    const RiskVerdict verdict = assess(tool, detail, cwd);

    if (autoDecide) {
        if (const auto behavior = autoDecide(tool, detail)) {
            if (!box->resolve({*behavior, std::string(ruleMessage)}))
                return; // its bridge left already
            const bool allowed = *behavior == Behavior::allow;
            s->setState(allowed ? spriteFor(tool) : SpriteKind::error);
            s->setActivity((allowed ? QStringLiteral("Running ") : QStringLiteral("Blocked ")) + shortTool(tool));
            record(s, allowed ? QStringLiteral("auto-allowed") : QStringLiteral("auto-denied"), tool, detail,
                   rank(verdict.level));
            return;
        }
    }

    if (shouldAutoApprove && shouldAutoApprove(verdict)) {
        if (!box->resolve({Behavior::allow, std::string(policyMessage)}))
            return;
        s->setState(spriteFor(tool));
        s->setActivity(QStringLiteral("Running ") + shortTool(tool));
        s->setToolCount(s->toolCount() + 1);
        if (onWorkFlowed)
            onWorkFlowed();
        record(s, QStringLiteral("auto-allowed"), tool, detail, rank(verdict.level));
        return;
    }

    if (!box->isOpen())
        return;
    if (surfaceCanAnswer && !surfaceCanAnswer()) {
        // Holding the call would hang the agent until its own time-out: let it ask in its terminal.
        box->leaveToAgent();
        Log::line(QStringLiteral("Vorlix Agents: no panel or phone page can answer; %1 asks in its terminal (%2, "
                                 "session %3)")
                      .arg(s->agent(), tool, s->id()));
        return;
    }

    s->setState(SpriteKind::needsApproval);
    s->setActivity(QStringLiteral("Waiting on you"));
    auto* gate = new Gate(QString::fromStdString(event.id), s->id(), tool, detail, spriteFor(tool), verdict,
                          m_clock.now(), std::move(box), this);
    if (event.toolInput)
        gate->setChange(FileChange::from(tool, *event.toolInput));
    m_gates.append(gate);
    emit gatesChanged();
    if (onGateOpened)
        onGateOpened();
}

void SessionStore::closeGate(Gate* gate, std::optional<Behavior> behavior) {
    if (gate == nullptr || gateWithId(gate->id()) == nullptr)
        return;
    // Copy what we need: the gate object goes away below.
    const QString id = gate->id();
    const QString sessionID = gate->sessionID();
    const QString toolName = gate->toolName();
    const QString detail = gate->detail();
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
        if (onGateClosed)
            onGateClosed(*behavior);
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
    if (!behavior) {
        session->setState(SpriteKind::thinking);
        session->setActivity(QStringLiteral("Working"));
    } else if (*behavior == Behavior::deny) {
        session->setState(SpriteKind::error);
        session->setActivity(QStringLiteral("Blocked ") + shortTool(toolName));
    } else {
        session->setState(spriteFor(toolName));
        session->setActivity(QStringLiteral("Running ") + shortTool(toolName));
    }
}

void SessionStore::closeGate(const QString& id) {
    closeGate(gateWithId(id), std::nullopt);
}

void SessionStore::resolveRemotely(const QString& id, Behavior behavior) {
    Gate* gate = gateWithId(id);
    if (gate == nullptr)
        return;
    const bool delivered = gate->box()->resolve(
        {behavior, std::string(behavior == Behavior::allow ? phoneAllowMessage : phoneDenyMessage)});
    closeGate(gate, delivered ? std::optional(behavior) : std::nullopt);
}

void SessionStore::decideOnCard(Gate* gate, Behavior behavior) {
    if (gate == nullptr || gateWithId(gate->id()) == nullptr)
        return;
    const bool delivered = gate->box()->resolve({behavior, std::nullopt});
    closeGate(gate, delivered ? std::optional(behavior) : std::nullopt);
}

void SessionStore::refreshContext() {
    for (Session* session : m_sessions) {
        if (!session->transcriptPath() || !readContext)
            continue;
        if (auto usage = readContext(*session->transcriptPath(), contextLimit))
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
