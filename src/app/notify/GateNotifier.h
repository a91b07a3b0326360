#pragma once

#include <QHash>
#include <QObject>
#include <QSet>

class Gate;
class NotificationCenter;
class SessionStore;
struct Achievement;

/// Desktop notifications for the store: one per waiting gate ("<Agent> wants to run"), answerable with
/// Allow/Deny where the server has actions, withdrawn when the gate closes by any route; and one per
/// unlocked achievement.
class GateNotifier final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(GateNotifier)

public:
    GateNotifier(SessionStore& store, NotificationCenter& center, QObject* parent = nullptr);
    /// Withdraws what is still shown: nobody is left to act on it.
    ~GateNotifier() override;

    static QString summary(const SessionStore& store, const Gate& gate);
    /// Risk, tool and detail; a detail too long for a notification is cut and says where the rest is.
    static QString body(const Gate& gate);
    /// Whether the body had to cut the detail.
    static bool cut(const Gate& gate);
    /// Allow and Deny, except for critical gates and cut bodies, which can only be denied from here: nobody allows
    /// what they could not see.
    static QStringList actions(const Gate& gate);

    void notifyAchievement(const Achievement& achievement);

private:
    void sync();
    void onPosted(const QString& gateId, uint id);
    void onAction(uint id, const QString& key);

    SessionStore& m_store;
    NotificationCenter& m_center;
    QSet<QString> m_requested;           // gates whose notification was asked for
    QHash<QString, uint> m_notification; // gate id → the server's id, once known
};
