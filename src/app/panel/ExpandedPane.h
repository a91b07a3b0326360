#pragma once

#include "panel/NotchGeometry.h"
#include "sessions/SessionStore.h"
#include "support/Clock.h"
#include "terminal/TerminalJump.h"

#include <QTimer>

#include <QWidget>
#include <functional>

class GateCard;
class QLabel;
class SessionList;

/// The open island: header with the session count and the settings and quit buttons, the collision banner,
/// then the approval card for the active gate or else the session list. Built once, updated in place.
class ExpandedPane final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ExpandedPane)

public:
    struct Actions {
        std::function<void()> onSettings;
        std::function<void()> onQuit;
        std::function<void(const Gate&)> onTeachRule;
        /// A session row's click and the card's terminal button.
        std::function<TerminalJump::Result(const Session&)> onGoToTerminal = {};
    };

    ExpandedPane(SessionStore& store, const NotchGeometry& geo, Actions actions, const Clock& clock,
                 QWidget* parent = nullptr);

    /// Shows the store as it is now.
    void refresh();
    /// The card, while it shows a gate.
    GateCard* card() const;
    SessionList* list() const { return m_list; }
    /// Takes the person to the session's terminal; when nothing can be brought forward, the header says so for a
    /// few seconds.
    void goToTerminal(const Session& session);
    QLabel* notice() const { return m_notice; }

private:
    void showNotice(bool on);

    SessionStore& m_store;
    Actions m_actions;
    QLabel* m_title = nullptr;
    QLabel* m_count = nullptr;
    QLabel* m_notice = nullptr;
    QTimer m_noticeTimer;
    QWidget* m_banner = nullptr;
    QLabel* m_bannerText = nullptr;
    QWidget* m_cardHolder = nullptr;
    GateCard* m_card = nullptr;
    SessionList* m_list = nullptr;
};
