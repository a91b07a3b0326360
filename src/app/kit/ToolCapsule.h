#pragma once

#include <QWidget>

/// A tool's name in small fixed type on a grey capsule.
class ToolCapsule final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ToolCapsule)

public:
    explicit ToolCapsule(QString text, QWidget* parent = nullptr);
    void setText(const QString& text);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_text;
};
