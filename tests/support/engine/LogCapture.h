#pragma once

#include "support/Log.h"

#include <QStringList>

/// Keeps every log line while it lives; the log goes back to its usual sink even when a test stops early.
struct LogCapture {
    QStringList lines;
    LogCapture() {
        Log::setSink([this](const QString& line) { lines << line; });
    }
    ~LogCapture() { Log::setSink({}); }
    Q_DISABLE_COPY_MOVE(LogCapture)
};
