#include "panel/NotchWindow.h"

#include "panel/PanelLayout.h"
#include "panel/ScreenSpace.h"

#include <QEasingCurve>
#include <QGuiApplication>
#include <QScreen>
#include <QVBoxLayout>
#include <cmath>

NotchWindow::NotchWindow(QWidget* content, QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus |
                          Qt::X11BypassWindowManagerHint | Qt::NoDropShadowWindowHint),
      m_content(content), m_animation(this, "geometry") {
    setWindowTitle(QString::fromLatin1(title));
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_X11NetWmWindowTypeDock);
    setFocusPolicy(Qt::NoFocus);
    setMouseTracking(true);
    auto* fill = new QVBoxLayout(this);
    fill->setContentsMargins(0, 0, 0, 0);
    fill->addWidget(content);

    // The platform's ease-out curve.
    QEasingCurve easeOut(QEasingCurve::BezierSpline);
    easeOut.addCubicBezierSegment(QPointF(0, 0), QPointF(0.58, 1), QPointF(1, 1));
    m_animation.setEasingCurve(easeOut);
    m_animation.setDuration(animationMs);
}

void NotchWindow::layout(const QSizeF& size, const NotchGeometry& geo, std::optional<double> notchLeading) {
    QScreen* primary = QGuiApplication::primaryScreen();
    QScreen* screen = geo.screen != nullptr ? geo.screen : primary;
    if (screen == nullptr || primary == nullptr)
        return;
    const ScreenSpace space(primary->geometry());
    const QRectF up = PanelLayout::frame({size, notchLeading}, geo, space.up(screen->geometry()));
    const QRectF qt = space.qt(up);
    m_target = QRect(static_cast<int>(std::round(qt.x())), static_cast<int>(std::round(qt.y())),
                     static_cast<int>(std::ceil(qt.width())), static_cast<int>(std::ceil(qt.height())));
    ++m_animations;
    m_animation.stop();
    if (!isVisible()) {
        setGeometry(m_target);
        return;
    }
    m_animation.setStartValue(geometry());
    m_animation.setEndValue(m_target);
    m_animation.start();
}
