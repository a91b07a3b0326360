#include "support/Log.h"

#include <QMutex>
#include <cstdio>

namespace {
QMutex& sinkLock() {
    static QMutex lock;
    return lock;
}
std::function<void(const QString&)>& sink() {
    static std::function<void(const QString&)> current;
    return current;
}
} // namespace

void Log::line(const QString& text) {
    QMutexLocker locker(&sinkLock());
    if (sink()) {
        sink()(text);
        return;
    }
    const QByteArray bytes = text.toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stderr);
    std::fflush(stderr);
}

void Log::setSink(std::function<void(const QString&)> sink) {
    QMutexLocker locker(&sinkLock());
    ::sink() = std::move(sink);
}
