#pragma once

#include <QAbstractButton>
#include <QVariantAnimation>

/// A plain button (no platform chrome, no pressed look) whose hover state eases in and out over 0.12 s.
class HoverButton : public QAbstractButton {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(HoverButton)

public:
    explicit HoverButton(QWidget* parent = nullptr);

    /// Whether the pointer is over the button.
    bool hot() const { return m_hot; }
    /// 0 at rest, 1 fully hovered; in between while the change animates.
    double hoverProgress() const { return m_progress; }

signals:
    void hotChanged(bool hot);

protected:
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void setHot(bool hot);

    bool m_hot = false;
    double m_progress = 0.0;
    QVariantAnimation m_animation;
};
