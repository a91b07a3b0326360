#pragma once

#include <QFileSystemWatcher>
#include <QObject>
#include <QTimer>

class Prefs;

/// Applies the preferences file while the application runs, whoever wrote it (`config set`, the settings window,
/// a text editor). Watches the folder too: an atomic save replaces the file, and the watch on the old one ends.
/// A file that cannot be used is moved aside as at start, and the values in force stay.
class PrefsWatcher final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PrefsWatcher)

public:
    explicit PrefsWatcher(Prefs& prefs, QObject* parent = nullptr);

private:
    void watch();
    void check();

    Prefs& m_prefs;
    QFileSystemWatcher m_watcher;
    // An editor's save is several changes in a row; read once they settle.
    QTimer m_settle;
};
