#pragma once

#include "Source.h"

#include <QDateTime>
#include <QList>
#include <QString>

class Session;

/// What a scan needs to know of one session: a plain value, safe to hand to a worker thread.
struct WorktreeProbe {
    Vorlix::Source source;
    QString cwd;
    QDateTime lastSeen;

    /// Read on the main thread, where sessions live.
    static QList<WorktreeProbe> of(const QList<Session*>& sessions);
};
