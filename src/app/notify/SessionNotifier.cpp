#include "notify/SessionNotifier.h"

#include "prefs/Prefs.h"
#include "sessions/Session.h"
#include "sessions/SessionStore.h"
#include "support/VisibleText.h"

namespace {
const QString defaultKey = QStringLiteral("default");
const QString openKey = QStringLiteral("open");

QString agentName(const Session& session) {
    const std::string_view name = Vorlix::displayName(session.source());
    return QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
}
} // namespace

SessionNotifier::SessionNotifier(SessionStore& store, NotificationCenter& center, const Prefs& prefs, Jump jump,
                                 QObject* parent)
    : QObject(parent), m_store(store), m_center(center), m_prefs(prefs), m_jump(std::move(jump)) {
    connect(&store, &SessionStore::sessionsChanged, this, &SessionNotifier::watchSessions);
    connect(&center, &NotificationCenter::actionInvoked, this, &SessionNotifier::onAction);
    connect(&center, &NotificationCenter::closed, this, [this](uint id, uint) { onClosed(id); });
    watchSessions();
}

SessionNotifier::~SessionNotifier() {
    for (const Shown& shown : std::as_const(m_shown))
        m_center.close(shown.id);
}

QString SessionNotifier::summary(const Session& session) {
    const QString who = session.project() + QStringLiteral(" \u2014 ") + agentName(session);
    switch (session.attention()) {
    case Session::Attention::waitingForYou:
    case Session::Attention::waitingForInput:
        return who + QStringLiteral(" is waiting for you");
    case Session::Attention::finished:
        return who + QStringLiteral(" finished");
    case Session::Attention::none:
    case Session::Attention::denied:
        break;
    }
    return QString();
}

QString SessionNotifier::body(const Session& session) {
    QString text = VisibleText::reveal(session.agentMessage().trimmed());
    if (text.size() > bodyLimit) {
        text.truncate(bodyLimit);
        // Never half a surrogate pair.
        if (text.back().isHighSurrogate())
            text.chop(1);
    }
    return text;
}

void SessionNotifier::watchSessions() {
    m_watched.release(this);
    for (Session* session : m_store.sessions()) {
        m_watched.add(session);
        connect(session, &Session::attentionChanged, this, [this, session] { update(*session); });
        // A session heard from again after it was dropped starts asking nothing: what was shown is over.
        update(*session);
    }
}

bool SessionNotifier::wanted(const Session& session) const {
    switch (session.attention()) {
    case Session::Attention::waitingForYou:
    case Session::Attention::waitingForInput:
        return m_prefs.notifyWhenWaiting();
    case Session::Attention::finished:
        return m_prefs.notifyWhenFinished();
    case Session::Attention::none:
    case Session::Attention::denied:
        break;
    }
    return false;
}

void SessionNotifier::update(const Session& session) {
    const QString id = session.id();
    if (!wanted(session)) {
        const auto it = m_shown.find(id);
        if (it == m_shown.end())
            return;
        if (it->inFlight) {
            it->withdraw = true;
            it->next.reset();
            return;
        }
        m_center.close(it->id);
        m_shown.erase(it);
        return;
    }
    Shown& shown = m_shown[id];
    shown.withdraw = false;
    shown.terminal = session.terminal();
    shown.who = session.project() + QStringLiteral(" \u2014 ") + agentName(session);
    NotificationCenter::Notice notice{
        summary(session), body(session), {defaultKey, QStringLiteral("Open"), openKey, QStringLiteral("Open")}, -1, {}};
    notice.hints.insert(QStringLiteral("urgency"), QVariant::fromValue(uchar(1)));
    if (shown.inFlight) {
        // Sent once the server has named the one on its way, replacing it.
        shown.next = std::move(notice);
        return;
    }
    post(id, std::move(notice));
}

void SessionNotifier::post(const QString& sessionId, NotificationCenter::Notice notice) {
    Shown& shown = m_shown[sessionId];
    notice.replacesId = shown.id;
    shown.inFlight = true;
    QPointer<SessionNotifier> self(this);
    m_center.notify(std::move(notice), [self, sessionId](uint posted) {
        if (self)
            self->onPosted(sessionId, posted);
    });
}

void SessionNotifier::onPosted(const QString& sessionId, uint id) {
    const auto it = m_shown.find(sessionId);
    if (it == m_shown.end()) {
        m_center.close(id);
        return;
    }
    it->inFlight = false;
    if (it->withdraw) {
        m_center.close(id);
        m_shown.erase(it);
        return;
    }
    it->id = id;
    if (auto next = std::exchange(it->next, std::nullopt))
        post(sessionId, std::move(*next));
    else if (id == 0)
        m_shown.erase(it);
}

void SessionNotifier::onClosed(uint id) {
    for (auto it = m_shown.begin(); it != m_shown.end(); ++it) {
        if (it->id != id)
            continue;
        // Dismissed or expired: the next one is a new notification, not a replacement.
        it->id = 0;
        if (!it->inFlight)
            m_shown.erase(it);
        return;
    }
}

void SessionNotifier::onAction(uint id, const QString& key) {
    if (id == 0 || (key != defaultKey && key != openKey) || !m_jump)
        return;
    for (const Shown& shown : std::as_const(m_shown)) {
        if (shown.id != id)
            continue;
        const TerminalJump::Result result = m_jump(shown.terminal);
        if (!result.ok)
            m_center.notify({result.message, shown.who, {}, -1, {}});
        return;
    }
}
