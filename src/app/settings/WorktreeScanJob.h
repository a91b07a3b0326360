#pragma once

#include "Source.h"
#include "sessions/Session.h"
#include "worktrees/Worktree.h"

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QString>

class QThread;

/// Runs the worktree scanner on a worker thread, since git can take seconds, and keeps the last list it found.
/// Sessions are read on the main thread when a scan starts; the worker sees only copies of what it needs.
class WorktreeScanJob final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(WorktreeScanJob)

public:
    explicit WorktreeScanJob(QObject* parent = nullptr);
    /// Waits for a scan still running: git calls are bounded by the scanner's time-out.
    ~WorktreeScanJob() override;

    /// Starts a scan of these sessions' folders; does nothing while one runs.
    void start(const QList<Session*>& sessions);
    bool running() const { return m_thread != nullptr; }
    const QList<Worktree>& worktrees() const { return m_worktrees; }

signals:
    void runningChanged();
    /// A scan ended and worktrees holds its list.
    void finished();

private:
    struct Probe {
        Vorlix::Source source;
        QString cwd;
        QDateTime lastSeen;
    };
    static QList<Worktree> scan(const QList<Probe>& probes);

    QThread* m_thread = nullptr;
    QList<Worktree> m_worktrees;
};
