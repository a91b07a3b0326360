#pragma once

#include <QColor>
#include <QWidget>

/// A filled circle of a fixed diameter: the state of a rule or an activity entry, the level of a risk.
class Dot final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Dot)

public:
    Dot(int diameter, QColor color, QWidget* parent = nullptr);

    QColor color() const { return m_color; }
    void setColor(const QColor& color);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor m_color;
};
