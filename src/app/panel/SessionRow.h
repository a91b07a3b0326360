#pragma once

#include "sessions/Session.h"
#include "support/Clock.h"

#include <QPointer>
#include <QWidget>

class QLabel;

/// One live session in the expanded list: creature, agent, status, folder, running time, tools, context.
class SessionRow final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SessionRow)

public:
    SessionRow(const Session& session, const QString& home, const Clock& clock = Clock::system(),
               QWidget* parent = nullptr);

    /// The home folder shown as "~" wherever it stands as whole path components.
    static QString tildePath(const QString& path, const QString& home);
    /// The running time again; the list calls it once a second while it is shown.
    void refreshElapsed();

private:
    // The store may drop the session a moment before the list is rebuilt.
    QPointer<const Session> m_session;
    const Clock& m_clock;
    QLabel* m_elapsed = nullptr;
};
