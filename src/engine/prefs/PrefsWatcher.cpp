#include "prefs/PrefsWatcher.h"

#include "prefs/Prefs.h"
#include "support/Log.h"

#include <QFileInfo>

PrefsWatcher::PrefsWatcher(Prefs& prefs, QObject* parent) : QObject(parent), m_prefs(prefs) {
    m_settle.setSingleShot(true);
    m_settle.setInterval(150);
    connect(&m_settle, &QTimer::timeout, this, &PrefsWatcher::check);
    connect(&m_watcher, &QFileSystemWatcher::fileChanged, &m_settle, qOverload<>(&QTimer::start));
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, &m_settle, qOverload<>(&QTimer::start));
    watch();
}

void PrefsWatcher::watch() {
    const QFileInfo file(m_prefs.path());
    // The folder may not exist yet: a first `config set` creates it, so watch the nearest one that does.
    QString folder = file.absolutePath();
    while (!QFileInfo(folder).isDir() && folder != QLatin1String("/"))
        folder = QFileInfo(folder).absolutePath();
    QStringList paths{folder};
    if (file.exists())
        paths << file.absoluteFilePath();
    const QStringList watched = m_watcher.files() + m_watcher.directories();
    for (const QString& path : watched) {
        if (!paths.contains(path))
            m_watcher.removePath(path);
    }
    for (const QString& path : paths) {
        if (!watched.contains(path))
            m_watcher.addPath(path);
    }
}

void PrefsWatcher::check() {
    watch();
    const QString path = m_prefs.path();
    const bool present = QFileInfo::exists(path);
    // Read by a second object: the reader (defaults, types, ranges) stays in one place.
    const Prefs fresh(path);
    if (present && !QFileInfo::exists(path)) {
        Log::line(QStringLiteral("Vorlix Agents: preferences unchanged; the edited file could not be used"));
        return;
    }
    const QString changes = m_prefs.adopt(fresh);
    if (!changes.isEmpty())
        Log::line(QStringLiteral("Vorlix Agents: preferences applied: ") + changes);
}
