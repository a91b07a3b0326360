#pragma once

#include <QString>

/// Where the application keeps its files: everything under ~/.vorlix-agents, home from Vorlix::homeDir().
class AppPaths final {
public:
    /// The user's home directory (never QDir::homePath(), which falls back to "/").
    static QString home();
    /// ~/.vorlix-agents
    static QString root();
    static QString dataDir();    // ~/.vorlix-agents/data
    static QString auditDir();   // ~/.vorlix-agents/audit
    static QString binDir();     // ~/.vorlix-agents/bin
    static QString backupsDir(); // ~/.vorlix-agents/backups
    static QString runDir();     // ~/.vorlix-agents/run
    static QString socketPath(); // ~/.vorlix-agents/run/vorlix.sock
    /// Makes ~/.vorlix-agents and its run, data, audit and backups folders 0700, creating them as needed. False,
    /// with the reason, when the socket's folders cannot be made private: then nobody may listen there.
    static bool makePrivate(QString* error);
};
