#pragma once

#include <QColor>
#include <QWidget>

/// A rounded container (radius 10) that pads its content on every side and spans the full width,
/// the content aligned to the leading edge.
class Card final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Card)

public:
    Card(QColor fill, double padding, QWidget* content, QWidget* parent = nullptr);

    QColor fill() const { return m_fill; }
    void setFill(const QColor& fill);
    QWidget* content() const { return m_content; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor m_fill;
    QWidget* m_content;
};
