#include "panel/NotchGeometry.h"

#include <QGuiApplication>
#include <QScreen>

namespace {

QScreen* screenNamed(const QString& name) {
    const QList<QScreen*> screens = QGuiApplication::screens();
    for (QScreen* screen : screens) {
        if (screen->name() == name)
            return screen;
    }
    if (QScreen* primary = QGuiApplication::primaryScreen())
        return primary;
    return screens.isEmpty() ? nullptr : screens.constFirst();
}

} // namespace

NotchGeometry NotchGeometry::detect(QScreen* screen, const ScreenFacts& facts) {
    NotchGeometry geo;
    if (screen != nullptr)
        geo.screen = screen->name();
    if (facts.topInset > 0 && facts.auxiliaryTopLeft && facts.auxiliaryTopRight) {
        geo.hasNotch = true;
        geo.notchWidth = facts.frame.width() - facts.auxiliaryTopLeft->width() - facts.auxiliaryTopRight->width();
        geo.notchHeight = facts.topInset;
    }
    return geo;
}

NotchGeometry NotchGeometry::detect() {
    QScreen* screen = screenNamed(QString());
    ScreenFacts facts;
    if (screen != nullptr)
        facts.frame = screen->geometry();
    return detect(screen, facts);
}

QRect NotchGeometry::frameOf(const NotchGeometry& geo) {
    const QScreen* screen = screenNamed(geo.screen);
    return screen != nullptr ? screen->geometry() : QRect();
}

QRect NotchGeometry::availableFrameOf(const NotchGeometry& geo) {
    const QScreen* screen = screenNamed(geo.screen);
    return screen != nullptr ? screen->availableGeometry() : QRect();
}
