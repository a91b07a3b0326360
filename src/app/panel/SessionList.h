#pragma once

#include "sessions/Session.h"
#include "support/Clock.h"

#include <QList>
#include <QTimer>
#include <QWidget>

class QLabel;
class QVBoxLayout;
class SessionRow;

/// The open island's list of live sessions, or "No agents running". Rows come and go only with their
/// sessions; the rest changes in place, and the running times tick once a second while the list shows.
class SessionList final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SessionList)

public:
    SessionList(const QString& home, const Clock& clock, QWidget* parent = nullptr);

    void setSessions(const QList<Session*>& sessions);
    const QList<SessionRow*>& rows() const { return m_rows; }

signals:
    /// A row was clicked: take the person to that session's terminal.
    void goToTerminal(const Session& session);

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    SessionRow* newRow(const Session& session);

    const QString m_home;
    const Clock& m_clock;
    QVBoxLayout* m_column = nullptr;
    QWidget* m_empty = nullptr;
    QList<SessionRow*> m_rows;
    QTimer m_elapsedTick;
};
