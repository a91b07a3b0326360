#pragma once

#include <QColor>
#include <QFont>
#include <QWidget>

/// One line of plain text, cut with an ellipsis where it does not fit (never rich text: agents supply it).
class ElidedLine final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ElidedLine)

public:
    ElidedLine(QString text, const QFont& font, QColor color, Qt::TextElideMode mode, QWidget* parent = nullptr);

    const QString& text() const { return m_text; }
    void setText(const QString& text);
    /// What is drawn at the current width.
    QString shownText() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_text;
    QColor m_color;
    Qt::TextElideMode m_mode;
};
