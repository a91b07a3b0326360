#include "installer/AgentWatcher.h"

#include "installer/Installer.h"

#include <QFileInfo>

AgentWatcher::AgentWatcher(Installer& installer, QObject* parent) : QObject(parent), m_installer(installer) {
    m_settle.setSingleShot(true);
    m_settle.setInterval(150);
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, &m_settle, qOverload<>(&QTimer::start));
    connect(&m_watcher, &QFileSystemWatcher::fileChanged, &m_settle, qOverload<>(&QTimer::start));
    connect(&m_settle, &QTimer::timeout, this, [this] {
        rearm();
        m_installer.refresh();
    });
    rearm();
}

void AgentWatcher::rearm() {
    if (!m_watcher.files().isEmpty())
        m_watcher.removePaths(m_watcher.files());
    if (!m_watcher.directories().isEmpty())
        m_watcher.removePaths(m_watcher.directories());
    QStringList present;
    for (const QString& path : m_installer.watchedPaths()) {
        // What is missing cannot be watched: the folder it would appear in tells.
        const QFileInfo info(path);
        if (info.isDir() || info.isFile())
            present << path;
    }
    m_watcher.addPaths(present);
}
