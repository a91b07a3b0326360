#pragma once

#include "kit/HoverButton.h"

#include <QColor>

/// A 26 × 26 button showing one symbol at 12 px on a rounded square (radius 7) of the card greys.
class IconButton final : public HoverButton {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(IconButton)

public:
    IconButton(QString name, QColor tint, QWidget* parent = nullptr);

    const QString& name() const { return m_name; }
    QColor tint() const { return m_tint; }
    QColor background(double progress) const;
    /// The symbol's colour: the tint, fully opaque while hovered.
    QColor symbolColor(double progress) const;

    QSize sizeHint() const override { return QSize(26, 26); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_name;
    QColor m_tint;
};
