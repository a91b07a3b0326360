#include "panel/NotchGeometry.h"

#include <QGuiApplication>
#include <QScreen>

NotchGeometry NotchGeometry::detect(QScreen* screen, const ScreenFacts& facts) {
    NotchGeometry geo;
    geo.screen = screen;
    if (facts.topInset > 0 && facts.auxiliaryTopLeft && facts.auxiliaryTopRight) {
        geo.hasNotch = true;
        geo.notchWidth = facts.frame.width() - facts.auxiliaryTopLeft->width() - facts.auxiliaryTopRight->width();
        geo.notchHeight = facts.topInset;
    }
    return geo;
}

NotchGeometry NotchGeometry::detect() {
    QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr && !QGuiApplication::screens().isEmpty())
        screen = QGuiApplication::screens().constFirst();
    ScreenFacts facts;
    if (screen != nullptr)
        facts.frame = screen->geometry();
    return detect(screen, facts);
}
