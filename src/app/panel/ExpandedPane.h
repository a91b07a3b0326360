#pragma once

#include "panel/NotchGeometry.h"
#include "sessions/SessionStore.h"
#include "support/Clock.h"

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
    };

    ExpandedPane(SessionStore& store, const NotchGeometry& geo, Actions actions, const Clock& clock,
                 QWidget* parent = nullptr);

    /// Shows the store as it is now.
    void refresh();
    /// The card, while it shows a gate.
    GateCard* card() const;
    SessionList* list() const { return m_list; }

private:
    SessionStore& m_store;
    Actions m_actions;
    QLabel* m_count = nullptr;
    QWidget* m_banner = nullptr;
    QLabel* m_bannerText = nullptr;
    QWidget* m_cardHolder = nullptr;
    GateCard* m_card = nullptr;
    SessionList* m_list = nullptr;
};
