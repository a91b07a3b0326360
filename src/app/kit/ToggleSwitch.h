#pragma once

#include <QAbstractButton>
#include <QColor>

/// A switch without a label: a rounded track, tinted while on, with a round knob.
class ToggleSwitch final : public QAbstractButton {
    Q_OBJECT

public:
    explicit ToggleSwitch(QColor tint, QWidget* parent = nullptr);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor m_tint;
};
