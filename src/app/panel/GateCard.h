#pragma once

#include "Decision.h"
#include "hookserver/Gate.h"
#include "risk/Risk.h"
#include "sessions/Session.h"
#include "support/Clock.h"

#include <QColor>
#include <QPointer>
#include <QWidget>
#include <functional>

class FlatButton;
class TickBox;

/// The approval card for the oldest waiting request: who asks, how risky it is, what exactly, and the answers.
class GateCard final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(GateCard)

public:
    using Decide = std::function<void(Vorlix::Behavior)>;

    /// teachRule runs before decide(allow) when "always allow" is ticked.
    GateCard(const Session& session, Gate& gate, Decide decide, std::function<void()> teachRule,
             const Clock& clock = Clock::system(), QWidget* parent = nullptr);

    QString gateId() const { return m_gateId; }
    /// Only trivial and normal requests may become rules.
    static bool offersRule(Risk level);
    static QColor riskColor(Risk level);

    FlatButton* allowButton() const { return m_allow; }
    FlatButton* denyButton() const { return m_deny; }
    /// Absent for elevated and critical requests.
    TickBox* alwaysAllowBox() const { return m_alwaysAllow; }

private:
    void answer(Vorlix::Behavior behavior);

    const QString m_gateId;
    Decide m_decide;
    std::function<void()> m_teachRule;
    FlatButton* m_allow = nullptr;
    FlatButton* m_deny = nullptr;
    TickBox* m_alwaysAllow = nullptr;
    bool m_answered = false;
};
