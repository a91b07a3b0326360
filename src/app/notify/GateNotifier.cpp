#include "notify/GateNotifier.h"

#include "game/Achievement.h"
#include "hookserver/Gate.h"
#include "notify/NotificationCenter.h"
#include "risk/Risk.h"
#include "sessions/QuestionAnswer.h"
#include "sessions/Session.h"
#include "sessions/SessionStore.h"

#include <QPointer>

namespace {
const QString allowKey = QStringLiteral("allow");
const QString denyKey = QStringLiteral("deny");
constexpr qsizetype detailLimit = 400;
} // namespace

GateNotifier::GateNotifier(SessionStore& store, NotificationCenter& center, QObject* parent)
    : QObject(parent), m_store(store), m_center(center) {
    connect(&store, &SessionStore::gatesChanged, this, &GateNotifier::sync);
    connect(&center, &NotificationCenter::actionInvoked, this, &GateNotifier::onAction);
    connect(&center, &NotificationCenter::closed, this, [this](uint id, uint) {
        // Dismissed by the person (or expired): forget it, the gate stays open on the panel.
        for (auto it = m_notification.begin(); it != m_notification.end(); ++it) {
            if (it.value() == id) {
                m_notification.erase(it);
                return;
            }
        }
    });
    sync();
}

GateNotifier::~GateNotifier() {
    for (const uint id : std::as_const(m_notification))
        m_center.close(id);
}

QString GateNotifier::summary(const SessionStore& store, const Gate& gate) {
    const Session* session = store.sessionWithId(gate.sessionID());
    const std::string_view name = Vorlix::displayName(session != nullptr ? session->source() : Vorlix::Source::claude);
    return QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())) + QStringLiteral(" wants to run");
}

QString GateNotifier::body(const Gate& gate) {
    QString detail = gate.detail().isEmpty() ? QStringLiteral("(no arguments)") : gate.detail();
    if (cut(gate))
        detail = detail.left(detailLimit) + QStringLiteral("\u2026\nopen the panel to see all");
    return riskLabel(gate.risk().level) + QStringLiteral(" · ") + gate.toolName() + QLatin1Char('\n') + detail;
}

bool GateNotifier::cut(const Gate& gate) {
    return gate.detail().size() > detailLimit;
}

QStringList GateNotifier::actions(const Gate& gate) {
    // A question is answered with its options, on the card or the phone: a bare Allow would answer nothing.
    if (gate.risk().level == Risk::critical || cut(gate) || QuestionAnswer::isQuestion(gate.toolName()))
        return {denyKey, QStringLiteral("Deny")};
    return {allowKey, QStringLiteral("Allow"), denyKey, QStringLiteral("Deny")};
}

void GateNotifier::notifyAchievement(const Achievement& achievement) {
    m_center.notify({QStringLiteral("🏆 ") + achievement.name, achievement.detail, {}, -1, {}});
}

void GateNotifier::sync() {
    QSet<QString> open;
    for (const Gate* gate : m_store.gates()) {
        open.insert(gate->id());
        if (m_requested.contains(gate->id()))
            continue;
        m_requested.insert(gate->id());
        // Stays until answered; critical urgency keeps it on screen where servers honour it.
        NotificationCenter::Notice notice{summary(m_store, *gate), body(*gate), actions(*gate), 0, {}};
        notice.hints.insert(QStringLiteral("urgency"), QVariant::fromValue(uchar(2)));
        QPointer<GateNotifier> self(this);
        const QString id = gate->id();
        m_center.notify(notice, [self, id](uint posted) {
            if (self)
                self->onPosted(id, posted);
        });
    }
    for (auto it = m_requested.begin(); it != m_requested.end();) {
        if (open.contains(*it)) {
            ++it;
            continue;
        }
        if (const auto posted = m_notification.constFind(*it); posted != m_notification.constEnd()) {
            m_center.close(posted.value());
            m_notification.erase(posted);
        }
        // A notification still on its way is withdrawn when its id arrives (onPosted finds no request).
        it = m_requested.erase(it);
    }
}

void GateNotifier::onPosted(const QString& gateId, uint id) {
    if (id == 0)
        return;
    if (!m_requested.contains(gateId) || m_store.gateWithId(gateId) == nullptr) {
        m_center.close(id);
        return;
    }
    m_notification.insert(gateId, id);
}

void GateNotifier::onAction(uint id, const QString& key) {
    const QString gateId = m_notification.key(id);
    if (gateId.isEmpty() || (key != allowKey && key != denyKey))
        return;
    Gate* gate = m_store.gateWithId(gateId);
    if (gate == nullptr)
        return;
    // Never allow from here what the notification did not offer.
    if (key == allowKey && !actions(*gate).contains(allowKey))
        return;
    m_store.decide(gateId, key == allowKey ? Vorlix::Behavior::allow : Vorlix::Behavior::deny,
                   SessionStore::Surface::notification);
}
