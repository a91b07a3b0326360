#pragma once

#include <QDateTime>
#include <QJsonObject>
#include <QString>
#include <optional>

/// One journal record: a tool run or a gate decision.
struct AuditEntry {
    QDateTime ts;
    QString agent;
    QString sessionID;
    QString project;
    QString kind; // "tool", "approved", "denied", "auto-allowed", "auto-denied"
    QString tool;
    QString detail;
    std::optional<int> risk;

    bool operator==(const AuditEntry&) const = default;
};
