#pragma once

#include "Decision.h"
#include "hookserver/Gate.h"
#include "risk/Risk.h"
#include "sessions/QuestionAnswer.h"
#include "sessions/Session.h"
#include "support/Clock.h"

#include <QPointer>
#include <QWidget>
#include <functional>

class BossBanner;
class DetailBox;
class Dot;
class ElidedLabel;
class FlatButton;
class QBoxLayout;
class QLabel;
class QuestionPanel;
class SpriteView;
class TickBox;
class ToolCapsule;

/// The approval card for the oldest waiting request: who asks, how risky it is, what exactly, and the answers.
/// Built once; each gate it is given updates it in place. On an elevated or critical call Deny is the emphasised
/// answer, and Allow waits until the whole detail has been in view.
class GateCard final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(GateCard)

public:
    using Decide = std::function<void(Gate&, Vorlix::Behavior)>;
    using TeachRule = std::function<void(const Gate&)>;

    /// teachRule runs before decide(allow) when "always allow" is ticked.
    GateCard(Decide decide, TeachRule teachRule, const Clock& clock = Clock::system(), QWidget* parent = nullptr);

    /// Shows this gate; a gate other than the one on show starts unticked, unanswered and scrolled to the top.
    void setGate(const Session& session, Gate& gate);
    /// How many gates wait behind this one ("+2 more waiting"); none shows nothing.
    void setMoreWaiting(qsizetype count);
    /// The gate on show; empty once it is gone.
    QString gateId() const { return m_gateId; }
    /// Only trivial and normal requests may become rules.
    static bool offersRule(Risk level);

    FlatButton* allowButton() const { return m_allow; }
    FlatButton* denyButton() const { return m_deny; }
    /// Absent for elevated and critical requests.
    TickBox* alwaysAllowBox() const;
    /// Absent where the call may not have a session rule (critical, or more than one shell command).
    FlatButton* sessionAllowButton() const;
    DetailBox* detailBox() const { return m_detail; }
    QLabel* moreWaitingLabel() const { return m_moreWaiting; }
    /// Shown, in place of the detail and Allow/Deny, for a question the person can answer here.
    QuestionPanel* questionPanel() const { return m_questions; }

signals:
    /// The header's terminal button: take the person to the asking session's terminal.
    void goToTerminal();
    /// The options picked for the question on show.
    void answerPicked(const QString& gateId, const QList<QuestionAnswer::Pick>& picks);
    /// "Answer in the terminal" for the question on show.
    void answerInTerminal(const QString& gateId);
    /// "Allow for this session" was pressed on the gate with this id.
    void allowForSession(const QString& gateId);

private:
    void answer(Vorlix::Behavior behavior);
    void updateAnswers();
    /// Questions and plans are the person's own say: their own label in place of a risk, and the question's
    /// options in place of Allow/Deny. True when the gate is one of them.
    bool showAsk(const Gate& gate);
    void buildSessionAllow(QBoxLayout* buttons);
    void answerForSession();

    Decide m_decide;
    TeachRule m_teachRule;
    QPointer<Gate> m_gate;
    QString m_gateId;
    bool m_answered = false;
    bool m_mustRead = false;

    BossBanner* m_banner = nullptr;
    SpriteView* m_sprite = nullptr;
    QLabel* m_agent = nullptr;
    QLabel* m_project = nullptr;
    ToolCapsule* m_tool = nullptr;
    Dot* m_riskDot = nullptr;
    QLabel* m_riskLabel = nullptr;
    ElidedLabel* m_reasons = nullptr;
    QWidget* m_noReasons = nullptr;
    QLabel* m_moreWaiting = nullptr;
    DetailBox* m_detail = nullptr;
    TickBox* m_alwaysAllow = nullptr;
    FlatButton* m_allow = nullptr;
    FlatButton* m_deny = nullptr;
    QuestionPanel* m_questions = nullptr;
    QWidget* m_answers = nullptr;
    FlatButton* m_sessionAllow = nullptr;
};
