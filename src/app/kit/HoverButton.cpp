#include "kit/HoverButton.h"

#include <QEasingCurve>

HoverButton::HoverButton(QWidget* parent) : QAbstractButton(parent) {
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_Hover);
    m_animation.setDuration(120);
    m_animation.setEasingCurve(QEasingCurve::OutCubic);
    connect(&m_animation, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) {
        m_progress = value.toDouble();
        update();
    });
}

void HoverButton::enterEvent(QEnterEvent* event) {
    QAbstractButton::enterEvent(event);
    setHot(true);
}

void HoverButton::leaveEvent(QEvent* event) {
    QAbstractButton::leaveEvent(event);
    setHot(false);
}

void HoverButton::setHot(bool hot) {
    if (hot == m_hot)
        return;
    m_hot = hot;
    // Start from wherever the last change left off, so a quick in-and-out never jumps.
    m_animation.stop();
    m_animation.setStartValue(m_progress);
    m_animation.setEndValue(hot ? 1.0 : 0.0);
    m_animation.start();
    emit hotChanged(hot);
}
