#pragma once

#include "sessions/Session.h"
#include "support/Clock.h"

#include <QPointer>
#include <QWidget>

class ContextBar;
class ElidedLabel;
class QLabel;
class SpriteView;
class StatusChip;

/// One live session in the expanded list: creature, agent, status, folder, the agent's last words while it waits or
/// has finished, running time, tools, context. A click asks for the session's terminal.
class SessionRow final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SessionRow)

public:
    SessionRow(const Session& session, const QString& home, const Clock& clock = Clock::system(),
               QWidget* parent = nullptr);

    const Session* session() const { return m_session; }
    /// Shows the session as it is now; the list calls it when the session changes.
    void refresh();
    /// The running time again; the list calls it once a second while it is shown.
    void refreshElapsed();

signals:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    // The store may drop the session a moment before the list catches up.
    QPointer<const Session> m_session;
    const QString m_home;
    const Clock& m_clock;
    SpriteView* m_sprite = nullptr;
    QLabel* m_name = nullptr;
    StatusChip* m_chip = nullptr;
    ElidedLabel* m_folder = nullptr;
    ElidedLabel* m_message = nullptr;
    QLabel* m_elapsed = nullptr;
    QLabel* m_tools = nullptr;
    QWidget* m_context = nullptr;
    ContextBar* m_contextBar = nullptr;
    QLabel* m_contextLabel = nullptr;
};
