#include "shell/DisplayEnvironment.h"

namespace {
bool nonEmpty(const QProcessEnvironment& env, const QString& name) {
    return !env.value(name).isEmpty();
}
} // namespace

bool DisplayEnvironment::hasDisplay(const QProcessEnvironment& env) {
    return nonEmpty(env, QStringLiteral("DISPLAY")) || nonEmpty(env, QStringLiteral("WAYLAND_DISPLAY"));
}

bool DisplayEnvironment::shouldForceXcb(const QProcessEnvironment& env) {
    return nonEmpty(env, QStringLiteral("WAYLAND_DISPLAY")) && !nonEmpty(env, QStringLiteral("QT_QPA_PLATFORM")) &&
           nonEmpty(env, QStringLiteral("DISPLAY"));
}
