#include "support/AppIdentity.h"

#include <QCoreApplication>

void AppIdentity::apply() {
    QCoreApplication::setOrganizationName(QString());
    QCoreApplication::setOrganizationDomain(QString());
    QCoreApplication::setApplicationName(QStringLiteral("vorlix-agents"));
}
