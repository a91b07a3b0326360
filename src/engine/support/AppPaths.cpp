#include "support/AppPaths.h"

#include "Paths.h"

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
