#pragma once

#include <QColor>
#include <QWidget>

/// A rounded rectangle filled with one colour behind whatever layout it is given; for rows, banners and
/// placeholders whose corner radius and padding differ from a card's.
class RoundedPanel final : public QWidget {
    Q_OBJECT

public:
    RoundedPanel(QColor fill, qreal radius, QWidget* parent = nullptr);

    QColor fill() const { return m_fill; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor m_fill;
    qreal m_radius;
};
