#pragma once

#include "kit/HoverButton.h"

#include <QColor>

/// A flat text button: filled in its tint (90 %, 100 % hovered) or on the card greys; wide ones span
/// the available width. Disabled, it is drawn faded.
class FlatButton final : public HoverButton {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FlatButton)

public:
    FlatButton(const QString& title, QColor tint, bool filled, bool wide, QWidget* parent = nullptr);

    QColor tint() const { return m_tint; }
    bool filled() const { return m_filled; }
    /// Filled is the emphasised answer; a card swaps it between its buttons by risk.
    void setFilled(bool filled);
    bool wide() const { return m_wide; }
    /// The background at a hover progress between 0 (rest) and 1 (hovered).
    QColor background(double progress) const;
    QColor textColor() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor m_tint;
    bool m_filled;
    bool m_wide;
};
