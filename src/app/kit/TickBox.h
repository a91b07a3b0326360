#pragma once

#include <QAbstractButton>
#include <QColor>

/// A small check box drawn in one tint with a one-line caption, elided at the end when it does not fit.
class TickBox final : public QAbstractButton {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TickBox)

public:
    TickBox(const QString& text, QColor tint, QWidget* parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return {40, sizeHint().height()}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor m_tint;
};
