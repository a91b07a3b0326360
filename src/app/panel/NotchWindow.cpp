#include "panel/NotchWindow.h"

#include "panel/Compositing.h"

#include <QEasingCurve>
#include <QGuiApplication>
#include <QPolygon>
#include <QRegion>

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
    // No layout: a layout would hold the window at least as large as the content's minimum, which pulls the
    // opening off centre and leaves the closed island taller than it is.
    content->setParent(this);
    content->setGeometry(rect());

    // The platform's ease-out curve.
    QEasingCurve easeOut(QEasingCurve::BezierSpline);
    easeOut.addCubicBezierSegment(QPointF(0, 0), QPointF(0.58, 1), QPointF(1, 1));
    m_animation.setEasingCurve(easeOut);
    m_animation.setDuration(animationMs);
    connect(&m_animation, &QPropertyAnimation::finished, this, &NotchWindow::settled);
}

void NotchWindow::layout(const QRect& frame, const IslandShape& shape) {
    m_target = frame;
    m_shape = shape;
    m_shaped = !Compositing::running();
    if (m_shaped)
        cut();
    else
        clearMask();
    ++m_animations;
    m_animation.stop();
    // Whatever was mapped since (the settings window, a terminal) must not cover the island.
    bringToFront();
    emit moving(frame);
    if (!isVisible()) {
        setGeometry(m_target);
        emit settled();
        return;
    }
    m_animation.setStartValue(geometry());
    m_animation.setEndValue(m_target);
    m_animation.start();
}

void NotchWindow::bringToFront() {
    if (QGuiApplication::platformName() == QLatin1String("xcb"))
        raise();
}

void NotchWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    m_content->setGeometry(rect());
    cut();
}

void NotchWindow::cut() {
    if (m_shaped)
        setMask(QRegion(m_shape.path(QRectF(rect())).toFillPolygon().toPolygon(), Qt::WindingFill));
}
