#pragma once

#include <QColor>
#include <QWidget>

/// A filled circle of a fixed diameter, such as the state dot of a rule or an activity entry.
class DotView final : public QWidget {
    Q_OBJECT

public:
    DotView(int diameter, QColor color, QWidget* parent = nullptr);

    QColor color() const { return m_color; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor m_color;
};
