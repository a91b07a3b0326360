#include "support/AppPaths.h"

#include "Paths.h"
#include "support/FileIO.h"
#include "support/Log.h"

QString AppPaths::home() {
    return QString::fromStdString(Vorlix::homeDir());
}
QString AppPaths::root() {
    return home() + QStringLiteral("/.vorlix-agents");
}
QString AppPaths::dataDir() {
    return root() + QStringLiteral("/data");
}
QString AppPaths::auditDir() {
    return root() + QStringLiteral("/audit");
}
QString AppPaths::binDir() {
    return root() + QStringLiteral("/bin");
}
QString AppPaths::backupsDir() {
    return root() + QStringLiteral("/backups");
}
QString AppPaths::socketPath() {
    return QString::fromStdString(Vorlix::socketPath());
}
QString AppPaths::runDir() {
    return QString::fromStdString(Vorlix::runDir());
}

bool AppPaths::makePrivate(QString* error) {
    for (const QString& dir : {dataDir(), auditDir(), backupsDir()}) {
        QString why;
        if (!FileIO::makePrivateDir(dir, &why))
            Log::line(QStringLiteral("Vorlix Agents: ") + why);
    }
    // Whoever can write to either folder could put their own socket in our place and answer every gate.
    return FileIO::makePrivateDir(root(), error) && FileIO::makePrivateDir(runDir(), error);
}
