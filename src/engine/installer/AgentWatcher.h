#pragma once

#include <QFileSystemWatcher>
#include <QObject>
#include <QTimer>

class Installer;

/// Refreshes the installer's rows when an agent's folder appears or goes, or one of the files it reads changes,
/// so a window showing them is never stale. Confined to the main thread.
class AgentWatcher final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(AgentWatcher)

public:
    explicit AgentWatcher(Installer& installer, QObject* parent = nullptr);

private:
    /// Watches what is there now: a file replaced by a rename, or a folder made, is a new path to watch.
    void rearm();

    Installer& m_installer;
    QFileSystemWatcher m_watcher;
    /// Lets a burst of changes (an editor's save, an agent's first start) settle into one refresh.
    QTimer m_settle;
};
